// Text files: lines split at any line end, atomic replacement whose
// permissions survive and whose failures leave no debris.
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"

using testing_support::TempFolder;

namespace {

TEST(TextFile, SplitLinesAtCrOrLfOrCrLf) {
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

TEST(TextFile, ReplacementKeepsPermissionBits) {
  TempFolder folder;
  const std::string path = folder.File("private.opt");
  TempFolder::Write(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  ASSERT_TRUE(os::WriteFileAtomically(path, "new"));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(TempFolder::Read(path), "new");
}

TEST(TextFile, FailedRenameRemovesTheTemporaryFile) {
  TempFolder folder;
  const std::string path = folder.File("occupied");
  std::filesystem::create_directories(path + "/inside");  // rename cannot replace a full folder
  EXPECT_FALSE(os::WriteFileAtomically(path, "text"));
  EXPECT_FALSE(std::filesystem::exists(os::TemporaryPathFor(path)));
  EXPECT_TRUE(std::filesystem::is_directory(path + "/inside"));
}

TEST(TextFile, ReadReportsMissingFiles) {
  TempFolder folder;
  std::string content = "stale";
  EXPECT_FALSE(os::ReadWholeFile(folder.File("missing"), content));
  EXPECT_EQ(content, "");
  EXPECT_FALSE(os::FileExists(folder.File("missing")));
  TempFolder::Write(folder.File("there"), std::string("a\0b", 3));
  EXPECT_TRUE(os::ReadWholeFile(folder.File("there"), content));
  EXPECT_EQ(content, std::string("a\0b", 3));
}

}  // namespace
