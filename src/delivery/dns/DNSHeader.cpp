#include "delivery/dns/DNSHeader.h"

namespace {

void PutU16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value & 0xFF));
}

uint16_t GetU16(std::string_view message, std::size_t at) {
  return static_cast<uint16_t>((static_cast<uint8_t>(message[at]) << 8) |
                               static_cast<uint8_t>(message[at + 1]));
}

}  // namespace

std::string TDNSHeader::Encode() const {
  std::string out;
  out.reserve(kSize);
  for (uint16_t field : {ID, Flags, QDCount, ANCount, NSCount, ARCount}) PutU16(out, field);
  return out;
}

TDNSHeader TDNSHeader::Decode(std::string_view message) {
  TDNSHeader header;
  header.ID = GetU16(message, 0);
  header.Flags = GetU16(message, 2);
  header.QDCount = GetU16(message, 4);
  header.ANCount = GetU16(message, 6);
  header.NSCount = GetU16(message, 8);
  header.ARCount = GetU16(message, 10);
  return header;
}
