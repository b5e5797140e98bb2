// Encoded header words and the character set of the user's language, and the
// Shift-JIS to ISO-2022-JP conversion behind Japanese headers and bodies.
#include "delivery/HeaderEncoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>
#include <optional>

namespace {

// Decodes a run of encoded words separated by blanks (what a mail reader
// does): the charset of each word, and the bytes of all of them joined.
struct Decoded {
  std::vector<std::string> charsets;
  std::string bytes;
  std::size_t longestWord = 0;
};

std::string FromBase64(const std::string& text) {
  static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned group = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    group = group << 6 | static_cast<unsigned>(kDigits.find(c));
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>(group >> bits & 0xFF);
    }
  }
  return out;
}

Decoded DecodeWords(const std::string& text) {
  Decoded result;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    result.longestWord = std::max(result.longestWord, word.size());
    const std::size_t q1 = word.find('?', 2), q2 = word.find('?', q1 + 1);
    result.charsets.push_back(word.substr(2, q1 - 2));
    const std::string payload = word.substr(q2 + 1, word.size() - q2 - 3);
    if (word[q1 + 1] == 'B') {
      result.bytes += FromBase64(payload);
    } else {
      for (std::size_t i = 0; i < payload.size(); ++i) {
        if (payload[i] == '_') {
          result.bytes += ' ';
        } else if (payload[i] == '=') {
          result.bytes += static_cast<char>(std::stoi(payload.substr(i + 1, 2), nullptr, 16));
          i += 2;
        } else {
          result.bytes += payload[i];
        }
      }
    }
    start = end + 1;
  }
  return result;
}

// Converts with the C library's iconv; nullopt when it refuses the input.
std::optional<std::string> Iconv(const char* from, const char* to, const std::string& input) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string in = input, out(input.size() * 4 + 16, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size(), outLeft = out.size();
  std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  if (rc != static_cast<std::size_t>(-1)) rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

TEST(HeaderEncoding, CharsetFollowsTheLanguage) {
  const struct {
    const char* locale;
    HeaderCharset expected;
  } cases[] = {
      {"zh_CN.UTF-8", HeaderCharset::Gb2312},
      {"zh_SG", HeaderCharset::Gb2312},
      {"zh_TW.Big5", HeaderCharset::Big5},
      {"zh_HK.UTF-8", HeaderCharset::Big5},
      {"ja_JP.eucJP", HeaderCharset::Iso2022Jp},
      {"ja", HeaderCharset::Iso2022Jp},
      {"ko_KR.UTF-8", HeaderCharset::EucKr},
      {"de_DE@euro", HeaderCharset::Latin1},
      {"jam_JM", HeaderCharset::Latin1},
      {"C.UTF-8", HeaderCharset::Latin1},
      {"", HeaderCharset::Latin1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CharsetName(CharsetForLocale(c.locale)), std::string(CharsetName(c.expected)))
        << "locale " << c.locale;
}

TEST(HeaderEncoding, LanguageComesFromLcAllThenLcCtypeThenLang) {
  const struct {
    const char* lcAll;
    const char* lcCtype;
    const char* lang;
    const char* expected;
  } cases[] = {
      {"ja_JP", "ko_KR", "zh_CN", "ja_JP"},
      {"", "ko_KR", "zh_CN", "ko_KR"},
      {nullptr, nullptr, "zh_CN.GB2312", "zh_CN.GB2312"},
      {nullptr, nullptr, nullptr, ""},
  };
  const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::optional<std::string> saved[3];
  for (int i = 0; i < 3; ++i)
    if (const char* v = std::getenv(names[i])) saved[i] = v;
  for (const auto& c : cases) {
    const char* values[] = {c.lcAll, c.lcCtype, c.lang};
    for (int i = 0; i < 3; ++i) values[i] ? setenv(names[i], values[i], 1) : unsetenv(names[i]);
    EXPECT_EQ(UserLocaleName(), c.expected);
  }
  for (int i = 0; i < 3; ++i) saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}

TEST(HeaderEncoding, ShortTextsEncodeOnlyTheWordsThatNeedIt) {
  const struct {
    HeaderCharset charset;
    std::string text;
    std::string expected;
  } cases[] = {
      {HeaderCharset::Latin1, "Plain (text), with \"specials\"", "Plain (text), with \"specials\""},
      {HeaderCharset::Latin1,
       "Re: Gr\xFC\xDF"
       "e aus K\xF6ln!",
       "Re: =?ISO-8859-1?Q?Gr=FC=DFe_aus_K=F6ln!?="},
      {HeaderCharset::Latin1, "\xC4rger (a=b?_c) ok", "=?ISO-8859-1?Q?=C4rger?= (a=b?_c) ok"},
      {HeaderCharset::Latin1, "x \xE9t\xE9, y=1 \xE0 z", "x =?ISO-8859-1?Q?=E9t=E9=2C_y=3D1_=E0?= z"},
      {HeaderCharset::Gb2312, "Hi \xC4\xE3\xBA\xC3", "Hi =?GB2312?B?xOO6ww==?="},
      {HeaderCharset::Big5, "\xA4\xA4\xA4\xE5", "=?Big5?B?pKSk5Q==?="},
      {HeaderCharset::EucKr, "\xC7\xD1\xB1\xB9", "=?EUC-KR?B?x9GxuQ==?="},
      {HeaderCharset::Iso2022Jp,
       "\x93\xfa\x96{\x8c\xea\x82\xcc\x83"
       "e\x83X\x83g",
       "=?ISO-2022-JP?B?GyRCRnxLXDhsJE4lRiU5JUgbKEI=?="},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EncodeHeaderText(c.text, c.charset), c.expected) << "charset " << CharsetName(c.charset);
}

TEST(HeaderEncoding, LongTextsSplitIntoWordsOfLegalLengthAtCharacterBoundaries) {
  std::string latin, gb, sjis;
  for (int i = 0; i < 60; ++i)
    latin +=
        "\xE4"
        "b ";
  for (int i = 0; i < 70; ++i) gb += "\xC4\xE3";
  for (int i = 0; i < 70; ++i) sjis += i % 3 ? "\x93\xfa" : "a\xB6";  // kanji, ASCII, half-width kana
  latin.pop_back();
  const struct {
    HeaderCharset charset;
    std::string text;
    std::string expectedBytes;  // what the words carry, decoded
  } cases[] = {
      {HeaderCharset::Latin1, latin, latin},
      {HeaderCharset::Gb2312, gb, gb},
      {HeaderCharset::Iso2022Jp, sjis, ""},
  };
  for (const auto& c : cases) {
    const std::string encoded = EncodeHeaderPhrase(c.text, c.charset);
    const Decoded decoded = DecodeWords(encoded);
    EXPECT_GT(decoded.charsets.size(), 2u) << encoded;
    EXPECT_LE(decoded.longestWord, 75u) << encoded;
    if (c.charset == HeaderCharset::Iso2022Jp) {
      // Each word is complete ISO-2022-JP ending in ASCII; together they
      // give back the kanji (the half-width kana come back full-width).
      std::string back;
      for (std::size_t start = 0, end; start < encoded.size(); start = end + 1) {
        end = encoded.find(' ', start);
        if (end == std::string::npos) end = encoded.size();
        const std::string jis = DecodeWords(encoded.substr(start, end - start)).bytes;
        const std::size_t lastEscape = jis.rfind('\x1b');
        EXPECT_TRUE(lastEscape == std::string::npos || jis.compare(lastEscape, 3, "\x1b(B") == 0)
            << "ends in JIS mode: " << jis;
        const auto part = Iconv("ISO-2022-JP", "SHIFT_JIS", jis);
        ASSERT_TRUE(part.has_value()) << "not ISO-2022-JP: " << jis;
        back += *part;
      }
      EXPECT_EQ(back.size(), 70u * 2 + 70u / 3 + 1);
      EXPECT_EQ(back.substr(0, 5), "a\x83\x4a\x93\xfa");
    } else {
      EXPECT_EQ(decoded.bytes, c.expectedBytes) << encoded;
      for (std::size_t start = 0, end; c.charset == HeaderCharset::Gb2312 && start < encoded.size();
           start = end + 1) {
        end = encoded.find(' ', start);
        if (end == std::string::npos) end = encoded.size();
        EXPECT_EQ(DecodeWords(encoded.substr(start, end - start)).bytes.size() % 2, 0u)
            << "split inside a character";
      }
    }
  }
}

TEST(HeaderEncoding, ShiftJisConvertsLikeTheCLibraryForEveryJisX0208Character) {
  if (!Iconv("SHIFT_JIS", "ISO-2022-JP", "a")) GTEST_SKIP() << "iconv has no Shift-JIS here";
  int compared = 0;
  for (int lead = 0x81; lead <= 0xEF; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string sjis = {static_cast<char>(lead), static_cast<char>(trail)};
      const auto reference = Iconv("SHIFT_JIS", "ISO-2022-JP", sjis);
      if (!reference) continue;  // not in JIS X 0208 (vendor extensions, gaps)
      ++compared;
      ASSERT_EQ(ShiftJisToIso2022Jp(sjis), *reference) << std::hex << "Shift-JIS " << lead << trail;
    }
  }
  EXPECT_GT(compared, 6000);
  const struct {
    std::string sjis;
    std::string jis;
  } cases[] = {
      {"ab", "ab"},
      {"\xB6\xC5\xDE", "\x1b$B%+%J!+\x1b(B"},  // half-width kana become full-width
      {"x\x93\xfay", "x\x1b$BF|\x1b(By"},      // back to ASCII before ASCII
      {"\xF0\x40\x80\x93", "???"},             // user-defined, stray byte, cut pair
  };
  for (const auto& c : cases) EXPECT_EQ(ShiftJisToIso2022Jp(c.sjis), c.jis);
}
