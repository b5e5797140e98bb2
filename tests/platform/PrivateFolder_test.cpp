// The folder for the instance lock and socket: only one that nobody else can
// enter or replace is trusted.
#include "platform/PrivateFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/TempFolder.h"

using testing_support::TempFolder;

namespace {

TEST(PrivateFolder, TheRuntimeFolderWhenItIsPrivateElseOneOfOurOwnUnderTmp) {
  TempFolder runtime, tmp;
  const uid_t me = ::geteuid();
  const std::string ours = tmp.Path() + "/postwick-" + std::to_string(me);
  struct Case {
    const char* name;
    std::string runtimeDir;
    std::string expected;
  };
  const Case cases[] = {
      {"private runtime folder", runtime.Path(), runtime.Path()},
      {"no runtime folder", "", ours},
      {"relative runtime folder", "run/user", ours},
      {"runtime folder missing", runtime.Path() + "/gone", ours},
  };
  for (const auto& c : cases) {
    const os::PrivateFolderChoice choice = os::ChoosePrivateFolder(c.runtimeDir, tmp.Path(), me);
    EXPECT_EQ(choice.folder, c.expected) << c.name << ": " << choice.problem;
  }
  struct stat info {};
  ASSERT_EQ(::lstat(ours.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);

  // A runtime folder others may enter is not used.
  ASSERT_EQ(::chmod(runtime.Path().c_str(), 0755), 0);
  EXPECT_EQ(os::ChoosePrivateFolder(runtime.Path(), tmp.Path(), me).folder, ours);
}

// Another local user may create the folder under /tmp first, or put a link
// there: the program must refuse it, not use it.
TEST(PrivateFolder, AFolderUnderTmpThatIsNotOursIsRefused) {
  TempFolder tmp, elsewhere;
  const uid_t me = ::geteuid();
  const std::string ours = tmp.Path() + "/postwick-" + std::to_string(me);
  struct Case {
    const char* name;
    std::function<void()> prepare;
  };
  const Case cases[] = {
      {"open to everyone",
       [&] {
         std::filesystem::create_directory(ours);
         ::chmod(ours.c_str(), 0777);
       }},
      {"a link to a private folder",
       [&] { std::filesystem::create_directory_symlink(elsewhere.Path(), ours); }},
      {"a file", [&] { TempFolder::Write(ours, ""); }},
      {"another user's",
       [&] {
         std::filesystem::create_directory(ours);
         ::chmod(ours.c_str(), 0700);
         if (::chown(ours.c_str(), me + 1, static_cast<gid_t>(-1)) != 0) std::filesystem::remove(ours);
       }},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(ours);
    c.prepare();
    if (!std::filesystem::exists(std::filesystem::symlink_status(ours))) continue;  // not possible here
    const os::PrivateFolderChoice choice = os::ChoosePrivateFolder("", tmp.Path(), me);
    EXPECT_EQ(choice.folder, "") << c.name;
    EXPECT_NE(choice.problem.find(ours), std::string::npos) << c.name << ": " << choice.problem;
  }
}

}  // namespace
