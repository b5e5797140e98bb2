// Failures of the DNS client and every text it raises, spelled as the
// delivery engine and its tests expect them.
#pragma once

#include <string>
#include <string_view>

#include "platform/Failure.h"

namespace dns_text {

inline constexpr std::string_view kTimedOut = "TimedOut";
inline constexpr std::string_view kInvalidHeaderId = "Invalid Header Id %d";
inline constexpr std::string_view kFormatError = "DNS Server Reports Query Format Error";
inline constexpr std::string_view kServerError = "DNS Server Reports Query Server Error";
inline constexpr std::string_view kNameError = "DNS Server Reports Query Name Error";
inline constexpr std::string_view kNotImplemented = "DNS Server Reports Query Not Implemented Error";
inline constexpr std::string_view kRefused = "DNS Server Reports Query Refused Error";
inline constexpr std::string_view kUnknownError = "Server Returned Unknown Error";
inline constexpr std::string_view kPacketTooSmall = "Received Packet is too small. Less than 12 bytes %d";
inline constexpr std::string_view kInvalidPacketSize = "Invalid Packet Size %d";
inline constexpr std::string_view kInvalidQueryCount = "Invalid Query Count %d";
// Our own additions for answers and names that cannot be handled safely.
inline constexpr std::string_view kInvalidNamePointer = "Invalid Name Pointer %d";
inline constexpr std::string_view kInvalidDomainName = "Invalid Domain Name";

// Numbers that go with kPacketTooSmall and kInvalidPacketSize.
inline constexpr int kShorterThanHeader = 29;
inline constexpr int kShorterThanQuery = 30;
inline constexpr int kLengthBytePastEnd = 2;
inline constexpr int kLabelPastEnd = 3;
inline constexpr int kFieldPastEnd = 4;  // a fixed field or RDATA runs past its datagram or record

// The text with its "%d" replaced by the number.
inline std::string WithNumber(std::string_view pattern, long number) {
  std::string text(pattern);
  if (auto at = text.find("%d"); at != std::string::npos) text.replace(at, 2, std::to_string(number));
  return text;
}

// The text for a non-zero RCODE.
inline std::string_view RcodeText(int rcode) {
  switch (rcode) {
    case 1:
      return kFormatError;
    case 2:
      return kServerError;
    case 3:
      return kNameError;
    case 4:
      return kNotImplemented;
    case 5:
      return kRefused;
    default:
      return kUnknownError;
  }
}

}  // namespace dns_text

// Any failure of a DNS query other than a socket error.
class EIdDnsResolverError : public EFailure {
 public:
  explicit EIdDnsResolverError(const std::string& text) : EFailure(text) {}
};
