// Reading the extensions out of an EHLO reply's text lines.
#include "delivery/EhloKeywords.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;
using Keywords = std::map<std::string, std::string, std::less<>>;

TEST(EhloKeywords, KeywordsAndParametersFromTheLinesAfterTheFirst) {
  const struct {
    const char* name;
    Lines text;
    Keywords want;
  } cases[] = {
      {"the first line names the server only", {"STARTTLS"}, {}},
      {"typical reply",
       {"mx.test at your service", "SIZE 35882577", "8BITMIME", "starttls", "PIPELINING"},
       {{"SIZE", "35882577"}, {"8BITMIME", ""}, {"STARTTLS", ""}, {"PIPELINING", ""}}},
      {"blanks before parameters are dropped", {"x", "AUTH  LOGIN PLAIN"}, {{"AUTH", "LOGIN PLAIN"}}},
      {"not keywords: old AUTH=, leading dash, empty line, other characters",
       {"x", "AUTH=LOGIN", "-DASH", "", "X_Y",
        "\xC4"
        "BC",
        "OK-WORD"},
       {{"OK-WORD", ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const EhloKeywords keywords = EhloKeywords::Parse(c.text);
    EXPECT_EQ(keywords.All(), c.want);
  }
  const EhloKeywords keywords = EhloKeywords::Parse({"x", "StartTLS", "SIZE 10"});
  EXPECT_TRUE(keywords.Has("starttls"));
  EXPECT_TRUE(keywords.Has("STARTTLS"));
  EXPECT_FALSE(keywords.Has("START"));
  EXPECT_EQ(keywords.Parameters("size"), "10");
  EXPECT_EQ(keywords.Parameters("PIPELINING"), "");
}
