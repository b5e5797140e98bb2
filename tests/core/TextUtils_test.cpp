// The small text helpers and the file line splitting they sit beside.
#include "core/TextUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/AsciiText.h"
#include "platform/TextFile.h"

namespace {

TEST(TextUtils, TrimRemovesSpacesOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"  10.0.0.1  ", "10.0.0.1"},
      {"\t10.0.0.1 ", "\t10.0.0.1"},
      {"   ", ""},
      {"", ""},
      {"a b", "a b"},
      {" x\t", "x\t"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Trim(in), out) << "[" << in << "]";
}

TEST(TextUtils, OnlyExactlyOneIsTrue) {
  EXPECT_EQ(FlagToText(true), "1");
  EXPECT_EQ(FlagToText(false), "0");
  EXPECT_TRUE(TextToFlag("1"));
  for (const char* text : {"0", " 1", "1 ", "01", "true", "", "2"}) EXPECT_FALSE(TextToFlag(text)) << text;
}

TEST(TextUtils, DropLast) {
  EXPECT_EQ(DropLast("a@b.c, ", 2), "a@b.c");
  EXPECT_EQ(DropLast("ab", 2), "");
  EXPECT_EQ(DropLast("ab", 5), "");
  EXPECT_EQ(DropLast("ab", 0), "ab");
}

TEST(TextUtils, SecondsBetweenIsRoundedAndAbsolute) {
  const TDateTime base = EncodeDateTime({2026, 12, 10, 13, 0, 0, 0});
  struct Case {
    DateTimeParts other;
    long long seconds;
  };
  const Case cases[] = {
      {{2026, 12, 10, 13, 0, 0, 0}, 0},     {{2026, 12, 10, 13, 0, 1, 400}, 1},
      {{2026, 12, 10, 13, 0, 1, 600}, 2},   {{2026, 12, 10, 12, 59, 50, 0}, 10},
      {{2026, 12, 11, 13, 0, 0, 0}, 86400},
  };
  for (const auto& c : cases) {
    const TDateTime other = EncodeDateTime(c.other);
    EXPECT_EQ(SecondsBetween(base, other), c.seconds);
    EXPECT_EQ(SecondsBetween(other, base), c.seconds);
  }
}

TEST(TextUtils, SplitLinesAcceptsCrLfAndCrLf) {
  using Lines = std::vector<std::string>;
  const std::pair<std::string, Lines> cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"a\r\n\r\nb\r\n", {"a", "", "b"}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(os::SplitLines(text), lines);
  EXPECT_EQ(os::JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  EXPECT_EQ(os::JoinLines({}), "");
}

TEST(TextUtils, CaseFolding) {
  EXPECT_EQ(ascii::ToLower("MiXeD.Example.ORG"), "mixed.example.org");
  EXPECT_TRUE(ascii::EqualNoCase("userdns", "USERDNS"));
  EXPECT_FALSE(ascii::EqualNoCase("USERDNS ", "USERDNS"));
}

}  // namespace
