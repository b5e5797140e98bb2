// Text files: lines split at any line end, atomic replacement whose
// permissions survive, whose failures leave no debris and which no planted
// link can redirect, and reading that stops at a limit.
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"
#include "support/WriteFailures.h"

using namespace testing_support;

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

// Names in a folder, sorted, to see that a write left nothing behind.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(TextFile, FailedWritesLeaveTheOldFileAndNoDebris) {
  TempFolder folder;
  const std::string occupied = folder.File("occupied");
  std::filesystem::create_directories(occupied + "/inside");  // rename cannot replace a full folder
  EXPECT_FALSE(os::WriteFileAtomically(occupied, "text"));
  EXPECT_TRUE(std::filesystem::is_directory(occupied + "/inside"));

  // A disk that fills up while the new content is written.
  const std::string path = folder.File("postwick.opt");
  TempFolder::Write(path, "old");
  {
    FileSizeLimit full(16);
    EXPECT_FALSE(os::WriteFileAtomically(path, std::string(100, 'x')));
  }
  EXPECT_EQ(TempFolder::Read(path), "old");
  EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"occupied", "postwick.opt"}));
}

// Another local user may plant a link where a predictable temporary file
// would go; the write must neither follow it nor leave the target a link.
TEST(TextFile, LinksAtTemporaryNamesAreNeverFollowed) {
  TempFolder folder, elsewhere;
  const std::string path = folder.File("postwick.log");
  const std::string victim = elsewhere.File("victim");
  TempFolder::Write(victim, "precious");
  TempFolder::Write(path, "old");
  for (const std::string name :
       {"postwick.log.tmp", ".postwick.log.tmp", "postwick.log~", ".postwick.log.XXXXXX"})
    std::filesystem::create_symlink(victim, folder.File(name));

  ASSERT_TRUE(os::WriteFileAtomically(path, "new"));
  EXPECT_EQ(TempFolder::Read(victim), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(path));
  EXPECT_EQ(TempFolder::Read(path), "new");
  EXPECT_EQ(NamesIn(folder.Path()).size(), 5u) << "a temporary file stayed behind";
}

// A settings file that is a link (to a dotfile repository, say) stays a link
// to the same place, and the place gets the content.
TEST(TextFile, WritingThroughALinkKeepsTheLink) {
  TempFolder folder, dotfiles;
  const std::string real = dotfiles.File("postwick.opt");
  const std::string dangling = dotfiles.File("not-yet.opt");
  struct Case {
    const char* name;
    std::string link, pointsTo;
  };
  const Case cases[] = {
      {"absolute link", folder.File("a.opt"), real},
      {"relative link", folder.File("b.opt"),
       "../" + std::filesystem::path(dotfiles.Path()).filename().string() + "/postwick.opt"},
      {"link to a file not there yet", folder.File("c.opt"), dangling},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder::Write(real, "old");
    std::filesystem::create_symlink(c.pointsTo, c.link);
    ASSERT_TRUE(os::WriteFileAtomically(c.link, "new " + c.link));
    ASSERT_TRUE(std::filesystem::is_symlink(c.link));
    EXPECT_EQ(std::filesystem::read_symlink(c.link).string(), c.pointsTo);
    EXPECT_EQ(TempFolder::Read(c.link), "new " + c.link);
  }
  EXPECT_EQ(TempFolder::Read(dangling), "new " + folder.File("c.opt"));
}

// A writable settings file in a folder the user may not create files in (a
// shared or system folder): the content is rewritten in place instead of
// being silently lost.
TEST(TextFile, ReadOnlyFolderWithAWritableFileIsRewrittenInPlace) {
  TempFolder folder;
  const std::string path = folder.File("postwick.opt");
  TempFolder::Write(path, "USERPORT=1\r\nPORT=2525\r\nA LONGER OLD TAIL THAT MUST GO\r\n");
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0555), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), kUnprivilegedUid, kUnprivilegedUid), 0);
  }
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

  const int result = RunUnprivileged([&] { return os::WriteFileAtomically(path, "USERPORT=0\r\n"); });
  ::chmod(folder.Path().c_str(), 0700);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(TempFolder::Read(path), "USERPORT=0\r\n");
  EXPECT_EQ(NamesIn(folder.Path()), std::vector<std::string>{"postwick.opt"});

  // Neither folder nor file writable: a failure, and the file unchanged.
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0555), 0);
  EXPECT_EQ(RunUnprivileged([&] { return os::WriteFileAtomically(path, "lost"); }), 1);
  ::chmod(folder.Path().c_str(), 0700);
  EXPECT_EQ(TempFolder::Read(path), "USERPORT=0\r\n");
}

TEST(TextFile, ReadingStopsAtTheLimitAndRefusesWhatIsNoFile) {
  TempFolder folder;
  // A sparse file of 100 MB: reading it whole would take the memory.
  const std::string huge = folder.File("huge");
  TempFolder::Write(huge, "PORT=2525\r\n");
  std::filesystem::resize_file(huge, 100u * 1024 * 1024);
  std::string content;
  bool truncated = false;
  ASSERT_TRUE(os::ReadFileStart(huge, 4096, content, truncated));
  EXPECT_TRUE(truncated);
  EXPECT_EQ(content.size(), 4096u);
  EXPECT_EQ(content.substr(0, 11), "PORT=2525\r\n");

  TempFolder::Write(folder.File("small"), "abc");
  ASSERT_TRUE(os::ReadFileStart(folder.File("small"), 3, content, truncated));
  EXPECT_FALSE(truncated);
  EXPECT_EQ(content, "abc");

  // A FIFO would block the start for ever, a device would never end.
  ASSERT_EQ(::mkfifo(folder.File("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(os::ReadFileStart(folder.File("fifo"), 4096, content, truncated));
  EXPECT_FALSE(os::ReadWholeFile("/dev/zero", content));
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
