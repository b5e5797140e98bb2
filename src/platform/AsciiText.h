// Byte-string helpers shared by the engine: trimming, ASCII case
// folding and case-blind comparison. Bytes from 0x80 up are left alone.
#pragma once

#include <string>
#include <string_view>

namespace ascii {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
// Spaces and control characters, the bytes a header value is trimmed of.
inline bool IsSpaceOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Trims spaces and control characters at both ends.
std::string Trim(std::string_view text);
// Trims spaces and tabs only.
std::string TrimBlanks(std::string_view text);

std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Position of the first occurrence of needle, case ignored, or npos.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

}  // namespace ascii
