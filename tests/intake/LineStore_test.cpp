// The compact store of message lines: lines come back as they went in,
// whatever their number and length, and a message of many short lines costs
// little more than its text.
#include "intake/LineStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

LineStore Store(const Lines& lines) {
  LineStore store;
  for (const std::string& line : lines) store.push_back(line);
  return store;
}

Lines ManyLines(std::size_t count) {
  Lines lines;
  for (std::size_t i = 0; i < count; ++i) lines.push_back(std::string(i * 7919 % 300, 'a' + i % 26));
  return lines;
}

TEST(LineStore, LinesComeBackAsTheyWentIn) {
  const struct {
    const char* what;
    Lines lines;
  } cases[] = {
      {"none", {}},
      {"empty lines", {"", "", "x", ""}},
      {"bytes of every value but LF", {std::string("\0\r\t\x7f\xff .", 8), "."}},
      {"a line longer than the first blocks", {"a", std::string(3 * 1024 * 1024, 'L'), "b"}},
      {"many lines over many blocks", ManyLines(40000)},
  };
  for (const auto& c : cases) {
    const LineStore store = Store(c.lines);
    EXPECT_EQ(store.size(), c.lines.size()) << c.what;
    EXPECT_EQ(store.empty(), c.lines.empty()) << c.what;
    EXPECT_TRUE(store == c.lines) << c.what;
    EXPECT_EQ(store.ToVector(), c.lines) << c.what;
  }
}

TEST(LineStore, TextWithLineEndsIsStoredAsItsLines) {
  LineStore store;
  store.push_back("a\nb\r\nc\r\rd\n");
  EXPECT_EQ(store.ToVector(), (Lines{"a", "b", "c\r\rd", ""}));
}

TEST(LineStore, CopiesMovesAndClears) {
  const Lines lines = ManyLines(5000);
  LineStore original = Store(lines);
  LineStore copy = original;
  EXPECT_TRUE(copy == original);
  copy.push_back("only in the copy");
  EXPECT_EQ(original.size(), lines.size());

  LineStore moved = std::move(original);
  EXPECT_TRUE(moved == lines);
  EXPECT_TRUE(original.empty());  // a moved-from store is empty and usable
  original.push_back("again");
  EXPECT_EQ(original.ToVector(), Lines{"again"});

  moved.assign(3, "same");
  EXPECT_EQ(moved.ToVector(), (Lines{"same", "same", "same"}));
  moved.clear();
  EXPECT_TRUE(moved.empty());
  EXPECT_EQ(moved.BytesHeld(), 0u);
}

// A million 1-byte lines: their bytes and line ends, and at most one block
// of slack, where a string per line would take 32 bytes or more each.
TEST(LineStore, ShortLinesCostLittleMoreThanTheirText) {
  constexpr std::size_t kLines = 1000000;
  LineStore store;
  for (std::size_t i = 0; i < kLines; ++i) store.push_back("x");
  EXPECT_LE(store.BytesHeld(), 2 * kLines + 2 * 1024 * 1024);
  std::size_t counted = 0;
  for (std::string_view line : store) counted += line == "x";
  EXPECT_EQ(counted, kLines);
}

}  // namespace
