// What the outbound SMTP client says and accepts: its command words, the
// reply codes each step accepts, and the failure for a refused command.
#pragma once

#include <cstddef>
#include <string>

#include "platform/Failure.h"

namespace smtp_client {

inline constexpr char kCrLf[] = "\r\n";
inline constexpr char kEhlo[] = "EHLO ";
inline constexpr char kHelo[] = "HELO ";
inline constexpr char kRset[] = "RSET";
inline constexpr char kMailFrom[] = "MAIL FROM:<";
inline constexpr char kRcptTo[] = "RCPT TO:<";
inline constexpr char kData[] = "DATA";
inline constexpr char kEndOfData[] = ".";
inline constexpr char kQuit[] = "QUIT";
inline constexpr char kStartTls[] = "STARTTLS";
// The EHLO keyword of an exchanger that takes commands in batches.
inline constexpr char kPipelining[] = "PIPELINING";

// Failures of the client's own making, logged as the status of the attempt.
inline constexpr char kReplyTooLong[] = "Reply too long";
inline constexpr char kInvalidCommandCharacter[] = "Invalid character in command";

// Bounds of one reply: a longer one is a hostile or broken exchanger.
inline constexpr std::size_t kMaxReplyLines = 100;
inline constexpr std::size_t kMaxReplyBytes = 64 * 1024;

inline constexpr int kServiceReady = 220;
inline constexpr int kOk = 250;
inline constexpr int kWillForward = 251;
inline constexpr int kStartMailInput = 354;

}  // namespace smtp_client

// The peer answered a command with a code the step does not accept. The text
// is the reply's text lines, each followed by CR LF.
class ESmtpReplyError : public EFailure {
 public:
  ESmtpReplyError(int code, const std::string& text) : EFailure(text), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};
