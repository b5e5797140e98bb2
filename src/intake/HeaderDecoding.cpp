// Decoding of RFC 2047 encoded words in header values ("=?charset?Q?...?="
// and "=?charset?B?...?="), with Japanese JIS text turned into Shift-JIS,
// and the charset the decoded text is in, so that it can be encoded again in
// that charset.
#include "intake/HeaderDecoding.h"

#include <iconv.h>

#include <optional>
#include <vector>

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

// Names an encoded word's charset the way the decoded text is labelled:
// upper-cased, without an RFC 2231 language ("ISO-2022-JP*ja").
std::string CharsetLabel(std::string_view charset) {
  return ascii::ToUpper(charset.substr(0, charset.find('*')));
}

// The charsets whose words are decoded: ISO and WINDOWS ones (the ISO and
// Windows code pages), and UTF-8.
bool IsDecodedCharset(std::string_view charset) {
  return ascii::StartsWithNoCase(charset, "ISO") || ascii::StartsWithNoCase(charset, "WINDOWS") ||
         CharsetLabel(charset) == "UTF-8";
}

struct EncodedWord {
  std::string bytes;    // the decoded bytes as the charset has them
  std::string charset;  // its label
  std::size_t end = 0;  // position just after "?="
};

// Reads encoded words from left to right. Once no closing "?=" is left in
// the text, no later word can be complete either, so the search stops for
// good: the decoding stays linear in the length of the text.
class EncodedWordReader {
 public:
  explicit EncodedWordReader(std::string_view text) : text_(text) {}

  // The encoded word at `pos` when it is one that is decoded.
  std::optional<EncodedWord> ReadAt(std::size_t pos) {
    if (exhausted_ || text_.substr(pos, 2) != "=?") return {};
    const std::size_t charsetStart = pos + 2;
    const std::size_t charsetEnd = text_.find('?', charsetStart);
    if (charsetEnd == std::string_view::npos) {
      exhausted_ = true;
      return {};
    }
    const std::string_view charset = text_.substr(charsetStart, charsetEnd - charsetStart);
    if (!IsDecodedCharset(charset)) return {};
    if (charsetEnd + 2 >= text_.size() || text_[charsetEnd + 2] != '?') return {};
    const char encoding = ascii::Upper(text_[charsetEnd + 1]);
    if (encoding != 'Q' && encoding != 'B') return {};
    const std::size_t payloadStart = charsetEnd + 3;
    const std::size_t payloadEnd = text_.find("?=", payloadStart);
    if (payloadEnd == std::string_view::npos) {
      exhausted_ = true;
      return {};
    }
    const std::string_view payload = text_.substr(payloadStart, payloadEnd - payloadStart);
    EncodedWord word;
    word.bytes = encoding == 'Q' ? DecodeQ(payload) : DecodeB(payload);
    word.charset = CharsetLabel(charset);
    word.end = payloadEnd + 2;
    return word;
  }

 private:
  std::string_view text_;
  bool exhausted_ = false;
};

// A piece of the decoded text: plain text as it stood, or a decoded word.
struct Piece {
  std::string bytes;
  std::string charset;  // empty for plain text
};

// The bytes of one charset's words, as they are, except that JIS text
// becomes Shift-JIS, the local form of Japanese text.
std::string LocalBytes(const Piece& piece) {
  return piece.charset == "ISO-2022-JP" ? JisToShiftJis(piece.bytes) : piece.bytes;
}

class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (Valid()) iconv_close(handle_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return handle_; }

 private:
  iconv_t handle_;
};

// The bytes in UTF-8; false when the charset is unknown or the bytes are not
// valid in it.
bool ToUtf8(const Piece& piece, std::string& out) {
  IconvHandle converter("UTF-8", piece.charset.c_str());
  if (!converter.Valid()) return false;
  std::string input = piece.bytes;
  std::string output(input.size() * 4 + 16, '\0');  // room for any charset's widest form
  char* in = input.data();
  std::size_t inLeft = input.size();
  char* outPos = output.data();
  std::size_t outLeft = output.size();
  if (iconv(converter.Get(), &in, &inLeft, &outPos, &outLeft) == static_cast<std::size_t>(-1)) return false;
  if (iconv(converter.Get(), nullptr, nullptr, &outPos, &outLeft) == static_cast<std::size_t>(-1))
    return false;
  output.resize(output.size() - outLeft);
  out += output;
  return true;
}

// Words of several charsets cannot share one label: all of them go to
// UTF-8. False when one of them cannot be converted.
bool JoinAsUtf8(const std::vector<Piece>& pieces, std::string& out) {
  for (const Piece& piece : pieces) {
    if (piece.charset.empty()) {
      out += piece.bytes;
    } else if (!ToUtf8(piece, out)) {
      return false;
    }
  }
  return true;
}

}  // namespace

TDecodedText DecodeHeaderText(const std::string& text) {
  std::vector<Piece> pieces;
  EncodedWordReader reader(text);
  std::string gap;  // blanks after a decoded word, dropped if another follows
  bool afterWord = false;
  auto plain = [&]() -> std::string& {
    if (pieces.empty() || !pieces.back().charset.empty()) pieces.emplace_back();
    return pieces.back().bytes;
  };
  for (std::size_t pos = 0; pos < text.size();) {
    if (text[pos] == '=') {
      if (std::optional<EncodedWord> word = reader.ReadAt(pos)) {
        gap.clear();  // blanks between two encoded words are not part of the text
        pieces.push_back({std::move(word->bytes), std::move(word->charset)});
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
    plain() += gap;
    gap.clear();
    afterWord = false;
    plain() += c;
  }
  if (!gap.empty()) plain() += gap;

  std::string single;
  bool several = false;
  for (const Piece& piece : pieces) {
    if (piece.charset.empty()) continue;
    if (single.empty()) single = piece.charset;
    several = several || piece.charset != single;
  }
  TDecodedText result;
  if (several && JoinAsUtf8(pieces, result.Text)) {
    result.Charset = "UTF-8";
  } else {
    // One charset, or several of which one cannot be converted: the bytes as
    // they are, and no label for a mix, which no one label would fit.
    result.Text.clear();
    for (const Piece& piece : pieces) result.Text += LocalBytes(piece);
    if (!several) result.Charset = single;
  }
  std::erase(result.Text, '\0');
  return result;
}

std::string DecodeHeader(const std::string& text) { return DecodeHeaderText(text).Text; }
