#include "delivery/dns/DNSHeader.h"

#include "platform/BigEndian.h"

using big_endian::U16At;

std::string TDNSHeader::Encode() const {
  std::string out;
  out.reserve(kSize);
  for (uint16_t field : {ID, Flags, QDCount, ANCount, NSCount, ARCount}) big_endian::AppendU16(out, field);
  return out;
}

TDNSHeader TDNSHeader::Decode(std::string_view message) {
  TDNSHeader header;
  header.ID = U16At(message, 0);
  header.Flags = U16At(message, 2);
  header.QDCount = U16At(message, 4);
  header.ANCount = U16At(message, 6);
  header.NSCount = U16At(message, 8);
  header.ARCount = U16At(message, 10);
  return header;
}
