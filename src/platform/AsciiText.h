// Byte-string helpers shared by the engine: trimming, ASCII case folding,
// case-blind comparison and the "1"/"0" flags of the settings and log files.
// Bytes from 0x80 up are left alone.
#pragma once

#include <cstddef>
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

// Trims spaces and control characters (every byte up to 0x20) at both ends.
std::string TrimSpacesAndControls(std::string_view text);
// Trims spaces and tabs only.
std::string TrimBlanks(std::string_view text);
// Trims space characters only; tabs and other control characters stay.
std::string TrimSpaces(std::string_view text);

std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Position of the first occurrence of needle, case ignored, or npos.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

// "1" for true, "0" for false.
std::string FlagToText(bool flag);
// True only for exactly "1" (" 1", "01" and "true" are false).
bool TextToFlag(std::string_view text);

// The text without its last n characters; empty when n reaches its length.
std::string DropLast(std::string_view text, std::size_t n);

}  // namespace ascii
