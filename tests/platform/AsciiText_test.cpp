// The shared ASCII helpers: which bytes each trim removes, the "1"/"0"
// flags of the settings and log files, and case folding of ASCII only.
#include "platform/AsciiText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Settings values are trimmed of spaces only, header values of spaces and
// control characters, and some fields of spaces and tabs: one input, all three.
TEST(AsciiText, EachTrimRemovesItsOwnBytes) {
  struct Case {
    std::string in, spaces, blanks, spacesAndControls;
  };
  const Case cases[] = {
      {"  10.0.0.1  ", "10.0.0.1", "10.0.0.1", "10.0.0.1"},
      {"\t10.0.0.1 ", "\t10.0.0.1", "10.0.0.1", "10.0.0.1"},
      {" x\t", "x\t", "x", "x"},
      {"\r\n x \x01", "\r\n x \x01", "\r\n x \x01", "x"},
      {"a b", "a b", "a b", "a b"},
      {" \xA0x\xA0 ", "\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},
      {"   ", "", "", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ascii::TrimSpaces(c.in), c.spaces) << "[" << c.in << "]";
    EXPECT_EQ(ascii::TrimBlanks(c.in), c.blanks) << "[" << c.in << "]";
    EXPECT_EQ(ascii::TrimSpacesAndControls(c.in), c.spacesAndControls) << "[" << c.in << "]";
  }
}

TEST(AsciiText, OnlyExactlyOneIsTrue) {
  EXPECT_EQ(ascii::FlagToText(true), "1");
  EXPECT_EQ(ascii::FlagToText(false), "0");
  EXPECT_TRUE(ascii::TextToFlag("1"));
  for (const char* text : {"0", " 1", "1 ", "01", "true", "", "2"})
    EXPECT_FALSE(ascii::TextToFlag(text)) << text;
}

TEST(AsciiText, DropLast) {
  EXPECT_EQ(ascii::DropLast("a@b.c, ", 2), "a@b.c");
  EXPECT_EQ(ascii::DropLast("ab", 2), "");
  EXPECT_EQ(ascii::DropLast("ab", 5), "");
  EXPECT_EQ(ascii::DropLast("ab", 0), "ab");
}

TEST(AsciiText, CaseFolding) {
  EXPECT_EQ(ascii::ToLower("MiXeD.Example.ORG"), "mixed.example.org");
  EXPECT_TRUE(ascii::EqualNoCase("userdns", "USERDNS"));
  EXPECT_FALSE(ascii::EqualNoCase("USERDNS ", "USERDNS"));
}

}  // namespace
