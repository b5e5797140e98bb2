// Decoding of encoded words in received header values, and the charset of
// the decoded text.
#include "intake/HeaderDecoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The decoded text and the charset it is in: one charset's words keep their
// bytes; words of several charsets meet in UTF-8.
TEST(DecodeHeader, DecodesIsoWindowsAndUtf8WordsWithTheirCharset) {
  const struct {
    std::string text, decoded, charset;
  } cases[] = {
      {"plain text", "plain text", ""},
      {"=?ISO-8859-1?Q?Caf=E9_au_lait?=", "Caf\xe9 au lait", "ISO-8859-1"},
      {"=?iso-8859-1?q?a=3Db=3?=", "a=b=3", "ISO-8859-1"},  // "=" without two hex digits is copied
      {"=?ISO-8859-1?Q?=4a=4B?=", "JK", "ISO-8859-1"},
      {"=?WINDOWS-1252?B?SGVsbG8=?=", "Hello", "WINDOWS-1252"},
      {"=?ISO-8859-1?B?QUJD?=", "ABC", "ISO-8859-1"},
      {"=?ISO-8859-1?B?QUI?=", "AB", "ISO-8859-1"},  // a short last group
      {"=?UTF-8?B?SGVsbG8=?=", "Hello", "UTF-8"},
      {"=?utf-8?Q?J=C3=B6rg?=", "J\xc3\xb6rg", "UTF-8"},
      {"=?KOI8-R?B?SGVsbG8=?=", "=?KOI8-R?B?SGVsbG8=?=", ""},  // other charsets stay encoded
      {"=?ISO-8859-1?X?abc?=", "=?ISO-8859-1?X?abc?=", ""},
      {"=?ISO-8859-1?Q?unterminated", "=?ISO-8859-1?Q?unterminated", ""},
      {"=?ISO", "=?ISO", ""},
      {"Re: =?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=\t=?ISO-8859-1?Q?c?= d", "Re: abc d", "ISO-8859-1"},
      {"=?iso-8859-2?q?a?= =?ISO-8859-2*pl?Q?b?=", "ab", "ISO-8859-2"},  // one charset, however written
      {"=?ISO-8859-1?Q?a?=  x =?UTF-8?Q?y?=", "a  x y", "UTF-8"},
      {"=?ISO-8859-2?Q?Pawe=B3?= =?WINDOWS-1252?Q?_=93hi=94?=", "Pawe\xc5\x82 \xe2\x80\x9chi\xe2\x80\x9d",
       "UTF-8"},
      {"=?ISO-8859-1?Q?a=00b?=", "ab", "ISO-8859-1"},
      {std::string("x\0y", 3), "xy", ""},
      {"=?ISO-2022-JP?B?GyRCJCIbKEI=?=", "\x82\xa0", "ISO-2022-JP"},  // JIS becomes Shift-JIS
      {"=?iso-2022-jp?B?QRskQjAhGyhCWhsoSTEbKEI=?=", "A\x88\x9fZ\xb1", "ISO-2022-JP"},
      {"=?ISO-2022-JP?B?GyRCJCIbKEI=?= =?UTF-8?Q?=C3=A9?=", "\xe3\x81\x82\xc3\xa9", "UTF-8"},
      {"=?ISO-8859-1?B?GyRCJCIbKEI=?=", "\x1b$B$\"\x1b(B",
       "ISO-8859-1"},  // other charsets: bytes as they are
      // A mix that cannot all be converted keeps its bytes and gets no label.
      {"=?ISO-8859-1?Q?=E9?= =?UTF-8?Q?=FF?=", "\xe9\xff", ""},
      {"=?ISO-NONE?Q?a?= =?UTF-8?Q?b?=", "ab", ""},
  };
  for (const auto& c : cases) {
    const TDecodedText decoded = DecodeHeaderText(c.text);
    EXPECT_EQ(decoded.Text, c.decoded) << c.text;
    EXPECT_EQ(decoded.Charset, c.charset) << c.text;
    EXPECT_EQ(DecodeHeader(c.text), c.decoded) << c.text;
  }
}

}  // namespace
