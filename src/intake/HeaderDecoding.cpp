// Decoding of RFC 2047 encoded words in header values ("=?charset?Q?...?="
// and "=?charset?B?...?="), with Japanese JIS text turned into Shift-JIS.
#include "intake/HeaderDecoding.h"

#include <optional>

#include "platform/AsciiText.h"

namespace {

int HexValue(char c) {
  if (ascii::IsDigit(c)) return c - '0';
  const char u = ascii::Upper(c);
  return u >= 'A' && u <= 'F' ? u - 'A' + 10 : -1;
}

std::string DecodeQ(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (ascii::IsDigit(c)) return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Base64 in groups of four characters; stray characters are skipped, "="
// ends the data, and a short last group yields the bytes it holds.
std::string DecodeB(std::string_view text) {
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const int value = Base64Value(c);
    if (value < 0) continue;
    bits = (bits << 6) | static_cast<unsigned>(value);
    if (++count == 4) {
      out += static_cast<char>((bits >> 16) & 0xFF);
      out += static_cast<char>((bits >> 8) & 0xFF);
      out += static_cast<char>(bits & 0xFF);
      bits = 0;
      count = 0;
    }
  }
  if (count == 2) out += static_cast<char>((bits >> 4) & 0xFF);
  if (count == 3) {
    out += static_cast<char>((bits >> 10) & 0xFF);
    out += static_cast<char>((bits >> 2) & 0xFF);
  }
  return out;
}

bool IsJisByte(unsigned char c) { return c >= 0x21 && c <= 0x7E; }

// One JIS X 0208 character (two bytes of 0x21..0x7E) in Shift-JIS.
void AppendShiftJis(unsigned char j1, unsigned char j2, std::string& out) {
  const unsigned s1 = (j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0);
  unsigned s2 = 0;
  if (j1 % 2 == 1) {
    s2 = j2 + 0x1F;
    if (s2 >= 0x7F) ++s2;
  } else {
    s2 = j2 + 0x7E;
  }
  out += static_cast<char>(s1);
  out += static_cast<char>(s2);
}

// ISO-2022-JP to Shift-JIS: escape sequences switch between ASCII, two-byte
// JIS X 0208 and half-width katakana; unknown escapes are copied as they are.
std::string JisToShiftJis(std::string_view text) {
  enum class Mode { Ascii, Kanji, Kana } mode = Mode::Ascii;
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::string_view esc = text.substr(i, 3);
    if (esc == "\x1b$@" || esc == "\x1b$B") {
      mode = Mode::Kanji;
      i += 2;
    } else if (esc == "\x1b(B" || esc == "\x1b(J" || esc == "\x1b(H") {
      mode = Mode::Ascii;
      i += 2;
    } else if (esc == "\x1b(I") {
      mode = Mode::Kana;
      i += 2;
    } else if (c == 0x0E || c == 0x0F) {
      mode = c == 0x0E ? Mode::Kana : Mode::Ascii;
    } else if (mode == Mode::Kanji && IsJisByte(c) && i + 1 < text.size() &&
               IsJisByte(static_cast<unsigned char>(text[i + 1]))) {
      AppendShiftJis(c, static_cast<unsigned char>(text[++i]), out);
    } else if (mode == Mode::Kana && c >= 0x21 && c <= 0x5F) {
      out += static_cast<char>(c | 0x80);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

struct EncodedWord {
  std::string decoded;
  std::size_t end = 0;  // position just after "?="
};

// The encoded word at `pos`, when it is one that is decoded: charset
// beginning with ISO or WINDOWS, encoding Q or B.
std::optional<EncodedWord> ReadEncodedWord(std::string_view text, std::size_t pos) {
  const std::string_view rest = text.substr(pos);
  if (!ascii::StartsWithNoCase(rest, "=?ISO") && !ascii::StartsWithNoCase(rest, "=?WINDOWS")) return {};
  const std::size_t charsetEnd = rest.find('?', 2);
  if (charsetEnd == std::string_view::npos) return {};
  const std::size_t encodingEnd = rest.find('?', charsetEnd + 1);
  if (encodingEnd == std::string_view::npos) return {};
  const std::size_t textEnd = rest.find("?=", encodingEnd + 1);
  if (textEnd == std::string_view::npos) return {};
  const std::string_view charset = rest.substr(2, charsetEnd - 2);
  const std::string_view encoding = rest.substr(charsetEnd + 1, encodingEnd - charsetEnd - 1);
  const std::string_view payload = rest.substr(encodingEnd + 1, textEnd - encodingEnd - 1);
  EncodedWord word;
  if (ascii::EqualNoCase(encoding, "Q")) {
    word.decoded = DecodeQ(payload);
  } else if (ascii::EqualNoCase(encoding, "B")) {
    word.decoded = DecodeB(payload);
  } else {
    return {};
  }
  // A language suffix ("ISO-2022-JP*ja") does not change the charset.
  if (ascii::EqualNoCase(charset.substr(0, charset.find('*')), "ISO-2022-JP")) {
    word.decoded = JisToShiftJis(word.decoded);
  }
  word.end = pos + textEnd + 2;
  return word;
}

}  // namespace

std::string DecodeHeader(const std::string& text) {
  std::string out;
  std::string gap;  // blanks after a decoded word, dropped if another follows
  bool afterWord = false;
  for (std::size_t pos = 0; pos < text.size();) {
    if (text[pos] == '=') {
      if (std::optional<EncodedWord> word = ReadEncodedWord(text, pos)) {
        gap.clear();  // blanks between two encoded words are not part of the text
        out += word->decoded;
        pos = word->end;
        afterWord = true;
        continue;
      }
    }
    const char c = text[pos++];
    if (afterWord && ascii::IsBlank(c)) {
      gap += c;
      continue;
    }
    out += gap;
    gap.clear();
    afterWord = false;
    out += c;
  }
  out += gap;
  std::erase(out, '\0');
  return out;
}
