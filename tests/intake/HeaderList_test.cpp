// Header lines: lookup of the first line by name with unfolding, and
// setting a header the way the writer of relayed messages does.
#include "intake/HeaderList.h"

#include <gtest/gtest.h>

#include "platform/AsciiText.h"

namespace {

using Lines = std::vector<std::string>;

TEST(HeaderList, GetValueFindsFirstLineAndUnfolds) {
  THeaderList headers;
  headers.Lines = {"Subject: Hello",
                   "  world ",
                   "To: a@b",
                   "TO: second@b",
                   "X-Empty:",
                   "Bad : x",
                   "BCC\t: hidden@x",
                   "Received: from a",
                   "\tby b",
                   " (c)",
                   "NoColonLine",
                   " Hidden: continuation",
                   "X-Trim: \x01 v \x7f"};
  const std::pair<std::string, std::string> cases[] = {
      {"subject", "Hello world"},
      {"To", "a@b"},  // a repeated header: its first line counts
      {"X-Empty", ""},
      {"Bad", "x"},  // blanks before the colon (the obsolete syntax) are no part of the name
      {"Bad ", ""},
      {"bcc", "hidden@x"},
      {"Received", "from a by b (c)"},
      {"Missing", ""},
      {"NoColonLine", ""},
      {"Hidden", ""},  // continuation lines are not headers
      {"X-Trim", "v \x7f"},
  };
  for (const auto& [name, value] : cases) EXPECT_EQ(headers.GetValue(name), value) << "header " << name;
  EXPECT_EQ(headers.IndexOfName("to"), 2);
  EXPECT_EQ(headers.IndexOfName("Missing"), -1);
}

struct SetCase {
  const char* what;
  Lines before;
  std::string name, value;
  Lines after;
};

TEST(HeaderList, SetValueReplacesAppendsOrRemoves) {
  const SetCase cases[] = {
      {"replace, dropping continuation lines",
       {"A: 1", "Subject: old", " cont", "\tmore", "B: 2"},
       "subject",
       "new",
       {"A: 1", "subject: new", "B: 2"}},
      {"only the first of repeated lines", {"To: a", "To: b"}, "To", "c", {"To: c", "To: b"}},
      {"append when missing", {"A: 1"}, "X-Priority", "3", {"A: 1", "X-Priority: 3"}},
      {"empty value removes", {"A: 1", "Cc: x,", " y", "B: 2"}, "Cc", "", {"A: 1", "B: 2"}},
      {"empty value when missing", {"A: 1"}, "Cc", "", {"A: 1"}},
      {"embedded line break becomes a continuation",
       {},
       "Content-Type",
       "text/plain;\r\n\tcharset=\"X\"",
       {"Content-Type: text/plain;", "\tcharset=\"X\""}},
      {"no header injection", {}, "Subject", "x\r\nBcc: evil@x\n\r\n", {"Subject: x", " Bcc: evil@x"}},
  };
  for (const SetCase& c : cases) {
    THeaderList headers;
    headers.Lines = c.before;
    headers.SetValue(c.name, c.value);
    EXPECT_EQ(headers.Lines, c.after) << c.what;
  }
}

struct FoldCase {
  const char* what;
  std::string name, value;
  Lines lines;
};

// Folding goes only before a single blank between two other characters and
// never inside a quoted string of a structured header; so joining the lines
// (RFC 5322 unfolding) and GetValue both give back the value exactly.
TEST(HeaderList, SetValueFoldsAt78WithoutChangingTheValue) {
  const std::string word9 = "abcdefgh ";  // nine characters with its blank
  std::string words;
  for (int i = 0; i < 10; ++i) words += word9;
  words.pop_back();  // 89 characters
  const std::string longWord(90, 'x');
  const std::string a60(60, 'a'), b30(30, 'b');
  const std::string boundary = "\"----=_Part, " + std::string(40, 'q') + " end\"";
  const FoldCase cases[] = {
      {"short", "Subject", "hello world", {"Subject: hello world"}},
      {"at the last blank within the limit",
       "Subject",
       words,
       {"Subject: abcdefgh abcdefgh abcdefgh abcdefgh abcdefgh abcdefgh abcdefgh",  // 71
        " abcdefgh abcdefgh abcdefgh"}},
      {"a comma without a blank is no place to fold",
       "To",
       a60 + "@x.com," + b30 + "@y.com",
       {"To: " + a60 + "@x.com," + b30 + "@y.com"}},
      {"after a comma, at the blank that follows it",
       "To",
       a60 + "@x.com, " + b30 + "@y.com",
       {"To: " + a60 + "@x.com,", " " + b30 + "@y.com"}},
      {"never inside a quoted string",
       "Content-Type",
       "multipart/mixed; boundary=" + boundary,
       {"Content-Type: multipart/mixed;", " boundary=" + boundary}},
      {"a quote in unstructured text opens nothing",
       "Subject",
       "\"" + words,
       {"Subject: \"abcdefgh abcdefgh abcdefgh abcdefgh abcdefgh abcdefgh abcdefgh",
        " abcdefgh abcdefgh abcdefgh"}},
      {"not inside a run of blanks",
       "Subject",
       std::string(70, 'c') + "  " + std::string(20, 'd'),
       {"Subject: " + std::string(70, 'c') + "  " + std::string(20, 'd')}},
      {"nothing to break at", "Subject", longWord, {"Subject: " + longWord}},
      {"first break beyond the limit", "Subject", longWord + " end", {"Subject: " + longWord, " end"}},
      {"never right after the name", "Subject", " " + longWord, {"Subject:  " + longWord}},
      {"before a long word that follows a short one",
       "Subject",
       "x " + longWord,
       {"Subject: x", " " + longWord}},
  };
  for (const FoldCase& c : cases) {
    THeaderList headers;
    headers.SetValue(c.name, c.value);
    EXPECT_EQ(headers.Lines, c.lines) << c.what;
    std::string joined;
    for (std::string_view line : headers.Lines) joined += line;
    EXPECT_EQ(joined, c.name + ": " + c.value) << c.what;
    EXPECT_EQ(headers.GetValue(c.name), ascii::TrimSpacesAndControls(c.value)) << c.what;  // the lookup trims
  }
}

// A long value of words comes back unchanged through folding and lookup,
// and no line passes the limit.
TEST(HeaderList, FoldedValueReadsBack) {
  std::string value;
  for (int i = 0; i < 60; ++i) value += (i ? " w" : "w") + std::to_string(i * 7919 % 1000);
  THeaderList headers;
  headers.SetValue("Subject", value);
  EXPECT_GT(headers.Lines.size(), 3u);
  for (std::string_view line : headers.Lines) EXPECT_LE(line.size(), THeaderList::kFoldAt) << line;
  EXPECT_EQ(headers.GetValue("Subject"), value);
}

}  // namespace
