// A bounds-checked read cursor over one DNS message with a sticky error:
// after the first fault every read gives zero or empty text and the cursor
// stays put, so a decoder reads on and tests Ok() once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class DnsPacketReader {
 public:
  // Reads the whole message from a position on.
  explicit DnsPacketReader(std::string_view message, std::size_t position = 0);

  uint8_t U8();
  uint16_t U16();  // most significant byte first, as every DNS field
  uint32_t U32();
  std::string Bytes(std::size_t count);
  std::string Rest();             // everything up to the limit
  std::string CharacterString();  // a length byte and that many bytes
  // A domain name, following compression pointers anywhere in the message;
  // labels joined with ".", no trailing dot, the root name as "".
  std::string Name();

  // A reader for the next `length` bytes (a record's RDATA); this reader moves
  // past them. Names read through it may still point anywhere in the message.
  DnsPacketReader Sub(std::size_t length);

  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return limit_ - position_; }
  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  // Records a fault; only the first one sticks.
  void Fail(std::string text);

 private:
  DnsPacketReader(std::string_view message, std::size_t position, std::size_t limit);
  // True when `count` more bytes lie before the limit; fails otherwise.
  bool Need(std::size_t count);
  uint8_t ByteAt(std::size_t at) const { return static_cast<uint8_t>(message_[at]); }

  std::string_view message_;
  std::size_t position_;
  std::size_t limit_;
  std::string error_;
};
