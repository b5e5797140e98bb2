#include "delivery/dns/DnsPacketReader.h"

#include <algorithm>

#include "delivery/dns/IdDnsResolverError.h"
#include "platform/BigEndian.h"

using dns_text::WithNumber;

DnsPacketReader::DnsPacketReader(std::string_view message, std::size_t position)
    : DnsPacketReader(message, std::min(position, message.size()), message.size()) {}

DnsPacketReader::DnsPacketReader(std::string_view message, std::size_t position, std::size_t limit)
    : message_(message), position_(position), limit_(limit) {}

void DnsPacketReader::Fail(std::string text) {
  if (error_.empty()) error_ = std::move(text);
}

bool DnsPacketReader::Need(std::size_t count) {
  if (!Ok()) return false;
  if (count <= Remaining()) return true;
  Fail(WithNumber(dns_text::kInvalidPacketSize, dns_text::kFieldPastEnd));
  return false;
}

uint8_t DnsPacketReader::U8() {
  if (!Need(1)) return 0;
  return ByteAt(position_++);
}

uint16_t DnsPacketReader::U16() {
  if (!Need(2)) return 0;
  const uint16_t value = big_endian::U16At(message_, position_);
  position_ += 2;
  return value;
}

uint32_t DnsPacketReader::U32() {
  uint32_t high = U16();
  uint32_t low = U16();
  return Ok() ? high << 16 | low : 0;
}

std::string DnsPacketReader::Bytes(std::size_t count) {
  if (!Need(count)) return {};
  std::string bytes(message_.substr(position_, count));
  position_ += count;
  return bytes;
}

std::string DnsPacketReader::Rest() { return Bytes(Remaining()); }

std::string DnsPacketReader::CharacterString() {
  std::size_t length = U8();
  return Bytes(length);
}

std::string DnsPacketReader::Name() {
  if (!Ok()) return {};
  std::string name;
  std::size_t at = position_;
  std::size_t after = 0;  // where the cursor goes on: past the first pointer, or past the name
  std::size_t lastPointer = 0;
  bool jumped = false;
  // Without pointers a name reads each byte once. A walk that reads more
  // bytes than the message holds has been sent back over bytes it already
  // read, by a pointer loop or a pointer into a label's text: refused either way.
  std::size_t walked = 0;
  auto overWalked = [&] {
    if (walked <= message_.size()) return false;
    Fail(WithNumber(dns_text::kInvalidNamePointer, static_cast<long>(lastPointer)));
    return true;
  };
  for (;;) {
    if (at >= message_.size()) {
      Fail(WithNumber(dns_text::kInvalidPacketSize, dns_text::kLengthBytePastEnd));
      return {};
    }
    const uint8_t length = ByteAt(at);
    if ((length & 0xC0) == 0xC0) {
      if (at + 1 >= message_.size()) {
        Fail(WithNumber(dns_text::kInvalidPacketSize, dns_text::kLabelPastEnd));
        return {};
      }
      lastPointer = at;
      walked += 2;
      if (overWalked()) return {};
      if (!jumped) after = at + 2;
      jumped = true;
      at = static_cast<std::size_t>((length & 0x3F) << 8 | ByteAt(at + 1));
      continue;
    }
    if (at + 1 + length > message_.size()) {
      Fail(WithNumber(dns_text::kInvalidPacketSize, dns_text::kLabelPastEnd));
      return {};
    }
    walked += 1u + length;
    if (overWalked()) return {};
    if (length == 0) break;
    if (!name.empty()) name += '.';
    name.append(message_.substr(at + 1, length));
    at += 1u + length;
  }
  const std::size_t end = jumped ? after : at + 1;
  if (end > limit_) {
    Fail(WithNumber(dns_text::kInvalidPacketSize, dns_text::kFieldPastEnd));
    return {};
  }
  position_ = end;
  return name;
}

DnsPacketReader DnsPacketReader::Sub(std::size_t length) {
  DnsPacketReader sub(message_, position_, position_);
  if (!Need(length)) {
    sub.Fail(error_);
    return sub;
  }
  sub.limit_ = position_ + length;
  position_ += length;
  return sub;
}
