// Decoding of RFC 2047 encoded words in received header values, with the
// charset of the decoded text.
#pragma once

#include <string>

// Header text decoded from encoded words, and the charset it is in.
struct TDecodedText {
  std::string Text;
  // The charset of the decoded words, upper-cased without a language: their
  // one charset (the text then holds their bytes as they are), "UTF-8" when
  // words of several charsets met (all of them then converted to UTF-8), or
  // empty when nothing was decoded or a mix could not be converted.
  std::string Charset;
};

// RFC 2047 decoding of "=?ISO...", "=?WINDOWS..." and "=?UTF-8?" encoded
// words (Q and B), ISO-2022-JP text converted to Shift-JIS, NUL characters
// removed. Blanks between two decoded words are dropped; other words stay as
// they are.
TDecodedText DecodeHeaderText(const std::string& text);
std::string DecodeHeader(const std::string& text);  // the text alone
