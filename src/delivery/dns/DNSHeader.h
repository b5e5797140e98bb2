// The fixed twelve-byte header of a DNS message (RFC 1035 section 4.1.1).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TDNSHeader {
 public:
  static constexpr std::size_t kSize = 12;
  static constexpr uint16_t kFlagQR = 0x8000;
  static constexpr uint16_t kFlagAA = 0x0400;
  static constexpr uint16_t kFlagTC = 0x0200;
  static constexpr uint16_t kFlagRD = 0x0100;
  static constexpr uint16_t kFlagRA = 0x0080;

  uint16_t ID = 0;
  uint16_t Flags = 0;
  uint16_t QDCount = 0;
  uint16_t ANCount = 0;
  uint16_t NSCount = 0;
  uint16_t ARCount = 0;

  int RCode() const { return Flags & 0x000F; }
  int Opcode() const { return (Flags >> 11) & 0x000F; }
  bool RecursionDesired() const { return Flags & kFlagRD; }

  // The twelve bytes, each field most significant byte first.
  std::string Encode() const;
  // Reads the first twelve bytes; the caller has checked there are twelve.
  static TDNSHeader Decode(std::string_view message);
};
