// 16-bit fields most significant byte first, as DNS and other network
// protocols lay them out in their messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace big_endian {

// Appends the two bytes of a value, high byte first.
inline void AppendU16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value & 0xFF));
}

// The value of the two bytes at `at`; the caller has checked they are there.
inline uint16_t U16At(std::string_view bytes, std::size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) << 8 | static_cast<uint8_t>(bytes[at + 1]));
}

}  // namespace big_endian
