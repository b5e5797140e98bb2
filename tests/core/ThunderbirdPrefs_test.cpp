// Reading and changing Thunderbird's prefs.js without touching other lines.
#include "core/ThunderbirdPrefs.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(ThunderbirdPrefsTest, ReadsTheValueTokenOfEachUserPrefLine) {
  struct Case {
    const char* line;
    std::optional<std::string> token;
  };
  const Case cases[] = {
      {"user_pref(\"a\", \"smtp.example.com\");\n", "\"smtp.example.com\""},
      {"user_pref(\"a\", 587);\n", "587"},
      {"user_pref(\"a\", -1);", "-1"},
      {"user_pref(\"a\", true);\n", "true"},
      {"  user_pref ( 'a' ,\t'x' ) ; // note\n", "'x'"},
      {"user_pref(\"a\", \"say \\\"hi\\\", ok\");\n", "\"say \\\"hi\\\", ok\""},
      // Not a user pref line: kept as text, never read.
      {"pref(\"a\", 1);\n", std::nullopt},
      {"user_pref(\"a\", 1)\n", std::nullopt},
      {"user_pref(\"a\", \"open);\n", std::nullopt},
      {"user_pref(\"a\" 1);\n", std::nullopt},
      {"// user_pref(\"a\", 1);\n", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ThunderbirdPrefs(c.line).Token("a"), c.token) << c.line;
    EXPECT_EQ(ThunderbirdPrefs(c.line).Text(), c.line);
  }
}

TEST(ThunderbirdPrefsTest, DecodesStringsAndIntegers) {
  const ThunderbirdPrefs prefs(
      "user_pref(\"s\", \"a\\\\b\\\"c\\u00e9\\x41\");\n"
      "user_pref(\"n\", 100);\n"
      "user_pref(\"b\", false);\n"
      "user_pref(\"n\", 600);\n");  // the later line counts
  EXPECT_EQ(prefs.String("s"),
            "a\\b\"c\xc3\xa9"
            "A");
  EXPECT_EQ(prefs.Integer("n"), 600);
  EXPECT_EQ(prefs.Integer("s"), std::nullopt);
  EXPECT_EQ(prefs.String("n"), std::nullopt);
  EXPECT_EQ(prefs.Integer("b"), std::nullopt);
  EXPECT_EQ(prefs.Token("missing"), std::nullopt);
  EXPECT_EQ(ThunderbirdPrefs::Unquote(ThunderbirdPrefs::Quote("x\\\"y\nz")), "x\\\"y\nz");
  for (const char* broken : {"\"\\u12\"", "\"abc", "abc", "\"\\\""}) {
    EXPECT_EQ(ThunderbirdPrefs::Unquote(broken), std::nullopt) << broken;
  }
}

TEST(ThunderbirdPrefsTest, ChangesOnlyTheValueOrAppendsALine) {
  const std::string text =
      "// Mozilla User Preferences\n"
      "\n"
      "user_pref(\"mail.smtpserver.smtp1.port\",   587 );  // kept spacing\n"
      "user_pref(\"other\", \"\\u00e9\");\n";
  ThunderbirdPrefs prefs(text);
  prefs.SetInteger("mail.smtpserver.smtp1.port", 2525);
  prefs.SetString("added", "localhost");
  EXPECT_EQ(prefs.Text(),
            "// Mozilla User Preferences\n"
            "\n"
            "user_pref(\"mail.smtpserver.smtp1.port\",   2525 );  // kept spacing\n"
            "user_pref(\"other\", \"\\u00e9\");\n"
            "user_pref(\"added\", \"localhost\");\n");
  EXPECT_EQ(prefs.String("added"), "localhost");
  EXPECT_TRUE(prefs.Remove("added"));
  prefs.SetInteger("mail.smtpserver.smtp1.port", 587);
  EXPECT_EQ(prefs.Text(), text);
  EXPECT_FALSE(prefs.Remove("added"));
}

TEST(ThunderbirdPrefsTest, AppendedLinesFollowTheFilesLineEnds) {
  ThunderbirdPrefs crlf("user_pref(\"a\", 1);\r\nuser_pref(\"a\", 2);\r\n");
  crlf.SetInteger("b", 3);
  EXPECT_EQ(crlf.Text(), "user_pref(\"a\", 1);\r\nuser_pref(\"a\", 2);\r\nuser_pref(\"b\", 3);\r\n");
  EXPECT_TRUE(crlf.Remove("a"));  // every line of the pref goes
  EXPECT_EQ(crlf.Text(), "user_pref(\"b\", 3);\r\n");

  ThunderbirdPrefs unterminated("user_pref(\"a\", 1);");
  unterminated.SetInteger("b", 2);
  EXPECT_EQ(unterminated.Text(), "user_pref(\"a\", 1);\nuser_pref(\"b\", 2);\n");
}

}  // namespace
