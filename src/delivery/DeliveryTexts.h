// The texts the delivery engine puts into log records and replies.
#pragma once

namespace delivery_text {

inline constexpr const char* kSentSuccessfully = "Sent successfully";
inline constexpr const char* kCouldNotResolveDomain = "Could not resolve domain";
inline constexpr const char* kConnectionFailed = "Connection failed";
inline constexpr const char* kUnableToSend = "Unable to send";
inline constexpr const char* kInvalidRecipient = "550 Invalid recipient: ";
inline constexpr const char* kRelayingDenied = "550 Relaying denied: Connection to remote host failed";

}  // namespace delivery_text
