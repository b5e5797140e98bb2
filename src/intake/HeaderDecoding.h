// Decoding of RFC 2047 encoded words in received header values.
#pragma once

#include <string>

// RFC 2047 decoding of "=?ISO..." and "=?WINDOWS..." encoded words (Q and B),
// ISO-2022-JP text converted to Shift-JIS, NUL characters removed. Blanks
// between two decoded words are dropped; other words stay as they are.
std::string DecodeHeader(const std::string& text);
