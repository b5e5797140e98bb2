// Decoding of encoded words in received header values.
#include "intake/HeaderDecoding.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(DecodeHeader, DecodesIsoAndWindowsWordsOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text", "plain text"},
      {"=?ISO-8859-1?Q?Caf=E9_au_lait?=", "Caf\xe9 au lait"},
      {"=?iso-8859-1?q?a=3Db=3?=", "a=b=3"},  // "=" without two hex digits is copied
      {"=?ISO-8859-1?Q?=4a=4B?=", "JK"},
      {"=?WINDOWS-1252?B?SGVsbG8=?=", "Hello"},
      {"=?ISO-8859-1?B?QUJD?=", "ABC"},
      {"=?ISO-8859-1?B?QUI?=", "AB"},  // a short last group
      {"=?UTF-8?B?SGVsbG8=?=", "=?UTF-8?B?SGVsbG8=?="},
      {"=?ISO-8859-1?X?abc?=", "=?ISO-8859-1?X?abc?="},
      {"=?ISO-8859-1?Q?unterminated", "=?ISO-8859-1?Q?unterminated"},
      {"=?ISO", "=?ISO"},
      {"Re: =?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=\t=?ISO-8859-1?Q?c?= d", "Re: abc d"},
      {"=?ISO-8859-1?Q?a?=  x =?UTF-8?Q?y?=", "a  x =?UTF-8?Q?y?="},
      {"=?ISO-8859-1?Q?a?= =?UTF-8?Q?y?=", "a =?UTF-8?Q?y?="},
      {"=?ISO-8859-1?Q?a=00b?=", "ab"},
      {std::string("x\0y", 3), "xy"},
      {"=?ISO-2022-JP?B?GyRCJCIbKEI=?=", "\x82\xa0"},
      {"=?iso-2022-jp?B?QRskQjAhGyhCWhsoSTEbKEI=?=", "A\x88\x9fZ\xb1"},
      {"=?ISO-8859-1?B?GyRCJCIbKEI=?=", "\x1b$B$\"\x1b(B"},  // other charsets: bytes as they are
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(DecodeHeader(text), expected) << text;
}

}  // namespace
