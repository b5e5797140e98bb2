#include "delivery/HeaderEncoding.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/AsciiText.h"

namespace {

constexpr std::size_t kMaxEncodedWord = 75;  // RFC 2047 limit, delimiters included

bool IsPlain(unsigned char c) { return (c >= 0x20 && c <= 0x7E) || c == '\t'; }

bool IsShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// How a charset's text is split into characters and carried in encoded words.
enum class Form {
  SingleByte,  // ISO-8859-x, windows-125x and others: one byte a character, Q encoding
  DoubleByte,  // GB2312, Big5, EUC-KR: a lead byte from 0x81 starts a pair, B encoding
  ShiftJis,    // Shift-JIS text sent as ISO-2022-JP, B encoding
  Utf8,        // UTF-8: Q for mostly Latin text, B for others
};

Form FormOf(std::string_view charset) {
  if (ascii::EqualNoCase(charset, "ISO-2022-JP")) return Form::ShiftJis;
  if (ascii::EqualNoCase(charset, "GB2312") || ascii::EqualNoCase(charset, "Big5") ||
      ascii::EqualNoCase(charset, "EUC-KR"))
    return Form::DoubleByte;
  if (ascii::EqualNoCase(charset, "UTF-8")) return Form::Utf8;
  return Form::SingleByte;
}

// Length of the UTF-8 character starting with a lead byte; 1 for a stray
// byte, so broken text is still split somewhere.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  std::size_t length = c >= 0xF0 && c <= 0xF7 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (c >= 0xF8) length = 1;
  std::size_t end = i + 1;
  while (end < text.size() && end < i + length && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    ++end;
  return end - i;
}

// Length of the character starting at text[i].
std::size_t CharLength(std::string_view text, std::size_t i, Form form) {
  const auto c = static_cast<unsigned char>(text[i]);
  bool doubleByte = false;
  switch (form) {
    case Form::SingleByte:
      break;
    case Form::Utf8:
      return Utf8Length(text, i);
    case Form::ShiftJis:
      doubleByte = IsShiftJisLead(c);
      break;
    case Form::DoubleByte:
      doubleByte = c >= 0x81 && c <= 0xFE;
      break;
  }
  return doubleByte && i + 1 < text.size() ? 2 : 1;
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[group >> 18 & 63];
    out += kDigits[group >> 12 & 63];
    out += i + 1 < bytes.size() ? kDigits[group >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
  }
  return out;
}

// Q form of one byte, safe in phrases as well as in unstructured text.
std::string QChar(unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (c == ' ') return "_";
  const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' ||
                    c == '*' || c == '+' || c == '-' || c == '/';
  if (safe) return std::string(1, static_cast<char>(c));
  return std::string{'=', kHex[c >> 4], kHex[c & 15]};
}

// Q keeps Latin text readable; B is shorter for text that is mostly 8-bit.
// UTF-8 text is counted in characters: a lead byte starts each.
bool UsesQ(std::string_view run, Form form) {
  if (form == Form::SingleByte) return true;
  if (form != Form::Utf8) return false;
  std::size_t characters = 0, wide = 0;
  for (unsigned char c : run) {
    characters += (c & 0xC0) != 0x80;
    wide += c >= 0xC0;
  }
  return wide * 2 <= characters;
}

// The encoded-word payload of one piece of text.
std::string Payload(std::string_view piece, Form form, bool q) {
  if (q) {
    std::string out;
    for (unsigned char c : piece) out += QChar(c);
    return out;
  }
  if (form == Form::ShiftJis) return Base64(ShiftJisToIso2022Jp(piece));
  return Base64(piece);
}

// Encoded words for a run of text, split at character boundaries so that no
// word exceeds the RFC 2047 length; the words are joined by one space.
std::string EncodeRun(std::string_view run, std::string_view charset) {
  const Form form = FormOf(charset);
  const bool q = UsesQ(run, form);
  const std::string prefix = "=?" + std::string(charset) + (q ? "?Q?" : "?B?");
  const std::size_t budget = kMaxEncodedWord > prefix.size() + 2 ? kMaxEncodedWord - prefix.size() - 2 : 0;
  std::string out;
  std::size_t start = 0;
  while (start < run.size()) {
    std::size_t end = start + CharLength(run, start, form);  // at least one character per word
    std::string payload = Payload(run.substr(start, end - start), form, q);
    while (end < run.size()) {
      const std::size_t next = end + CharLength(run, end, form);
      std::string longer;
      if (q) {
        longer = payload + Payload(run.substr(end, next - end), form, q);
      } else if (form != Form::ShiftJis) {
        // Base64 grows by whole groups; the payload itself is made once.
        if ((next - start + 2) / 3 * 4 > budget) break;
        end = next;
        continue;
      } else {
        longer = Payload(run.substr(start, next - start), form, q);  // escapes make JIS length not additive
      }
      if (longer.size() > budget) break;
      payload = std::move(longer);
      end = next;
    }
    if (!q && form != Form::ShiftJis) payload = Payload(run.substr(start, end - start), form, q);
    if (!out.empty()) out += ' ';
    out += prefix + payload + "?=";
    start = end;
  }
  return out;
}

// JIS X 0208 codes of the half-width katakana 0xA1..0xDF.
constexpr uint16_t kHalfWidthKatakana[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529, 0x2563, 0x2565,
    0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F, 0x2531, 0x2533,
    0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C,
    0x254D, 0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564,
    0x2566, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C};

// JIS X 0208 code of a Shift-JIS pair, or 0 when it has none.
uint16_t JisOfShiftJis(unsigned char lead, unsigned char trail) {
  if (lead > 0xEF || trail < 0x40 || trail == 0x7F || trail > 0xFC) return 0;  // 0xF0..: user-defined
  unsigned row = (lead >= 0xE0 ? lead - 0x40 : lead) - 0x81;
  unsigned high = row * 2 + 0x21;
  unsigned low;
  if (trail >= 0x9F) {
    ++high;
    low = trail - 0x7E;
  } else {
    low = trail - 0x1F - (trail >= 0x80 ? 1 : 0);
  }
  return static_cast<uint16_t>(high << 8 | low);
}

}  // namespace

HeaderCharset CharsetForLocale(std::string_view localeName) {
  const std::size_t end = localeName.find_first_of(".@");
  const std::string_view name = localeName.substr(0, end);
  const std::string_view language = name.substr(0, name.find('_'));
  if (language == "zh")
    return name == "zh_CN" || name == "zh_SG" ? HeaderCharset::Gb2312 : HeaderCharset::Big5;
  if (language == "ja") return HeaderCharset::Iso2022Jp;
  if (language == "ko") return HeaderCharset::EucKr;
  return HeaderCharset::Latin1;
}

std::string UserLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return {};
}

HeaderCharset UserHeaderCharset() { return CharsetForLocale(UserLocaleName()); }

const char* CharsetName(HeaderCharset charset) {
  switch (charset) {
    case HeaderCharset::Gb2312:
      return "GB2312";
    case HeaderCharset::Big5:
      return "Big5";
    case HeaderCharset::Iso2022Jp:
      return "ISO-2022-JP";
    case HeaderCharset::EucKr:
      return "EUC-KR";
    case HeaderCharset::Latin1:
      break;
  }
  return "ISO-8859-1";
}

bool NeedsEncoding(std::string_view text) {
  for (unsigned char c : text)
    if (!IsPlain(c)) return true;
  return false;
}

std::string EncodeHeaderText(const std::string& text, HeaderCharset charset) {
  return EncodeHeaderText(text, CharsetName(charset));
}

std::string EncodeHeaderPhrase(const std::string& text, HeaderCharset charset) {
  return EncodeHeaderPhrase(text, CharsetName(charset));
}

std::string EncodeHeaderText(const std::string& text, std::string_view charset) {
  std::size_t first = text.size(), last = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsPlain(static_cast<unsigned char>(text[i]))) continue;
    if (first == text.size()) first = i;
    last = i;
  }
  if (first == text.size()) return text;
  // Widen to whole words: blanks never occur inside a multi-byte character.
  const std::size_t blankBefore = text.find_last_of(" \t", first);
  const std::size_t start = blankBefore == std::string::npos ? 0 : blankBefore + 1;
  const std::size_t blankAfter = text.find_first_of(" \t", last);
  const std::size_t end = blankAfter == std::string::npos ? text.size() : blankAfter;
  return text.substr(0, start) + EncodeRun(std::string_view(text).substr(start, end - start), charset) +
         text.substr(end);
}

std::string EncodeHeaderPhrase(const std::string& text, std::string_view charset) {
  return NeedsEncoding(text) ? EncodeRun(text, charset) : text;
}

std::string ShiftJisToIso2022Jp(std::string_view text) {
  static constexpr char kToAscii[] = "\x1b(B";
  static constexpr char kToJis[] = "\x1b$B";
  std::string out;
  bool jisMode = false;
  auto put = [&](bool jis, std::string_view bytes) {
    if (jis != jisMode) out += jis ? kToJis : kToAscii;
    jisMode = jis;
    out += bytes;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    uint16_t jis = 0;
    if (c < 0x80) {
      put(false, text.substr(i, 1));
      continue;
    }
    if (c >= 0xA1 && c <= 0xDF) {
      jis = kHalfWidthKatakana[c - 0xA1];
    } else if (IsShiftJisLead(c) && i + 1 < text.size()) {
      jis = JisOfShiftJis(c, static_cast<unsigned char>(text[++i]));
    }
    if (jis == 0) {
      put(false, "?");
    } else {
      const char pair[2] = {static_cast<char>(jis >> 8), static_cast<char>(jis & 0xFF)};
      put(true, std::string_view(pair, 2));
    }
  }
  if (jisMode) out += kToAscii;
  return out;
}
