// Where the settings, log, product and help files are found: beside the
// executable, in an installed program's user folders, or in a data folder.
#include "core/AppPaths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

namespace {

using testing_support::ScopedEnvironment;
using testing_support::TempFolder;

TEST(AppPaths, FilesBesideTheExecutable) {
  struct Case {
    const char* executable;
    const char* settings;
    const char* log;
  };
  const Case cases[] = {
      {"/opt/postwick/postwick", "/opt/postwick/postwick.opt", "/opt/postwick/postwick.log"},
      {"/opt/postwick/Postwick.exe", "/opt/postwick/Postwick.opt", "/opt/postwick/Postwick.log"},
      {"/opt/postwick/Postwick.EXE", "/opt/postwick/Postwick.opt", "/opt/postwick/Postwick.log"},
      {"/opt/postwick/postwick.exe.old", "/opt/postwick/postwick.exe.old.opt",
       "/opt/postwick/postwick.exe.old.log"},
      {"/opt/post.wick/relay", "/opt/post.wick/relay.opt", "/opt/post.wick/relay.log"},
      {"/postwick", "/postwick.opt", "/postwick.log"},
  };
  for (const auto& c : cases) {
    const AppPaths paths(c.executable);
    EXPECT_EQ(paths.SettingsFile(), c.settings);
    EXPECT_EQ(paths.LogFile(), c.log);
  }
  const AppPaths paths("/opt/postwick/postwick");
  EXPECT_EQ(paths.ProductInfoFile(), "/opt/postwick/Postwick.sys");
  EXPECT_EQ(paths.HelpFolder(), "/opt/postwick/help");
  EXPECT_EQ(paths.ExecutableFolder(), "/opt/postwick");
}

TEST(AppPaths, DataFolderMovesTheUsersFilesOnly) {
  const AppPaths paths("/usr/bin/postwick", "/home/ann/.postwick/");
  EXPECT_EQ(paths.SettingsFile(), "/home/ann/.postwick/postwick.opt");
  EXPECT_EQ(paths.LogFile(), "/home/ann/.postwick/postwick.log");
  EXPECT_EQ(paths.ProductInfoFile(), "/usr/bin/Postwick.sys");
  EXPECT_EQ(paths.HelpFolder(), "/usr/bin/help");
  EXPECT_EQ(paths.AccountStoreFile(), "/home/ann/.postwick/accounts.reg");
  EXPECT_EQ(paths.ExecutableFolder(), "/usr/bin");
}

// The product loader changes the current folder; a relative data folder must
// keep pointing where it pointed at start.
TEST(AppPaths, RelativeDataFolderIsFixedAtStart) {
  const std::string here = std::filesystem::current_path().string();
  const AppPaths paths("/usr/bin/postwick", "state");
  EXPECT_EQ(paths.LogFile(), here + "/state/postwick.log");
}

TEST(AppPaths, DataFolderFromArgumentsOrEnvironment) {
  using Args = std::vector<std::string>;
  ::unsetenv(kDataDirVariable);
  EXPECT_EQ(AppPaths::DataDirFrom({"open", "--data-dir", "/tmp/a"}), "/tmp/a");
  EXPECT_EQ(AppPaths::DataDirFrom({"--data-dir=/tmp/b", "close"}), "/tmp/b");
  EXPECT_EQ(AppPaths::DataDirFrom({"--data-dir"}), "");
  EXPECT_EQ(AppPaths::DataDirFrom({"open"}), "");
  ::setenv(kDataDirVariable, "/tmp/env", 1);
  EXPECT_EQ(AppPaths::DataDirFrom({"open"}), "/tmp/env");
  EXPECT_EQ(AppPaths::DataDirFrom({"--data-dir", "/tmp/a"}), "/tmp/a");  // the command line wins
  ::unsetenv(kDataDirVariable);

  EXPECT_EQ(AppPaths::WithoutDataDirOption({"--data-dir", "/tmp/a", "open"}), (Args{"open"}));
  EXPECT_EQ(AppPaths::WithoutDataDirOption({"close", "--data-dir=/tmp/b"}), (Args{"close"}));
  EXPECT_EQ(AppPaths::WithoutDataDirOption({"Open"}), (Args{"Open"}));
}

TEST(AppPaths, AccountStoreFollowsTheUsersConfigFolder) {
  ScopedEnvironment env;
  env.Set("XDG_CONFIG_HOME", "/home/ann/.config");
  EXPECT_EQ(AppPaths("/usr/bin/postwick").AccountStoreFile(), "/home/ann/.config/postwick/accounts.reg");
}

TEST(AppPaths, ThisProcessIsFound) {
  ::unsetenv(kDataDirVariable);
  const std::string executable = AppPaths::CurrentExecutablePath();
  EXPECT_NE(executable.find("AppPaths_test"), std::string::npos) << executable;
  EXPECT_EQ(AppPaths::ForThisProcess({}).LogFile(), executable + ".log");
}

// A prefix laid out as the install step lays it: <prefix>/bin/postwick and
// <prefix>/share/postwick, with or without the marker.
class InstallTree {
 public:
  explicit InstallTree(bool marked) {
    std::filesystem::create_directories(bin());
    std::filesystem::create_directories(Share());
    TempFolder::Write(Executable(), "");
    if (marked) TempFolder::Write(Share() + "/" + kInstalledMarkerName, "");
  }
  std::string Executable() const { return bin() + "/postwick"; }
  std::string Share() const { return AppPaths::InstalledDataFolderFor(Executable()); }
  std::string Prefix() const { return prefix_.Path(); }

 private:
  std::string bin() const { return prefix_.Path() + "/bin"; }
  TempFolder prefix_;
};

TEST(AppPaths, InstalledDataFolderIsShareBesideBin) {
  EXPECT_EQ(AppPaths::InstalledDataFolderFor("/usr/bin/postwick"), "/usr/share/postwick");
  EXPECT_EQ(AppPaths::InstalledDataFolderFor("/opt/pw/bin/postwick"), "/opt/pw/share/postwick");
}

TEST(AppPaths, InstalledProgramKeepsUserFilesInTheXdgFolders) {
  const InstallTree tree(true);
  ScopedEnvironment env;
  env.Unset(kDataDirVariable);
  env.Set("HOME", "/home/ann");
  struct Case {
    const char* name;
    std::optional<std::string> configHome;
    std::optional<std::string> stateHome;
    const char* settingsFolder;
    const char* logFolder;
  };
  const Case cases[] = {
      {"both set", "/cfg", "/state/", "/cfg/postwick", "/state/postwick"},
      {"both unset", std::nullopt, std::nullopt, "/home/ann/.config/postwick",
       "/home/ann/.local/state/postwick"},
      {"empty counts as unset", "", "", "/home/ann/.config/postwick", "/home/ann/.local/state/postwick"},
      {"relative paths are ignored", "cfg", "state", "/home/ann/.config/postwick",
       "/home/ann/.local/state/postwick"},
      {"one set, one unset", "/cfg", std::nullopt, "/cfg/postwick", "/home/ann/.local/state/postwick"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    env.Set("XDG_CONFIG_HOME", c.configHome);
    env.Set("XDG_STATE_HOME", c.stateHome);
    const AppPaths paths = AppPaths::Locate(tree.Executable(), "");
    EXPECT_EQ(paths.FileLayout(), AppPaths::Layout::Installed);
    EXPECT_EQ(paths.SettingsFile(), std::string(c.settingsFolder) + "/postwick.opt");
    EXPECT_EQ(paths.AccountStoreFile(), std::string(c.settingsFolder) + "/accounts.reg");
    EXPECT_EQ(paths.LogFile(), std::string(c.logFolder) + "/postwick.log");
    EXPECT_EQ(paths.FilesFolder(), c.settingsFolder);
    EXPECT_EQ(paths.ProductInfoFile(), tree.Share() + "/Postwick.sys");
    EXPECT_EQ(paths.HelpFolder(), tree.Share() + "/help");
  }
}

TEST(AppPaths, DataFolderWinsOverBothLayouts) {
  ScopedEnvironment env;
  env.Set("XDG_CONFIG_HOME", "/cfg");
  env.Set("XDG_STATE_HOME", "/state");
  for (const bool installed : {true, false}) {
    SCOPED_TRACE(installed ? "installed" : "build tree");
    const InstallTree tree(installed);
    const AppPaths paths = AppPaths::Locate(tree.Executable(), "/srv/pw");
    EXPECT_EQ(paths.SettingsFile(), "/srv/pw/postwick.opt");
    EXPECT_EQ(paths.LogFile(), "/srv/pw/postwick.log");
    EXPECT_EQ(paths.AccountStoreFile(), "/srv/pw/accounts.reg");
    // What ships with the program stays where the program's layout has it.
    const std::string shipped = installed ? tree.Share() : tree.Prefix() + "/bin";
    EXPECT_EQ(paths.ProductInfoFile(), shipped + "/Postwick.sys");
    EXPECT_EQ(paths.HelpFolder(), shipped + "/help");
  }
}

// A share/postwick folder without the marker (an old install, a checkout
// that happens to hold one) must not pull half the files there.
TEST(AppPaths, WithoutTheMarkerEverythingStaysBesideTheExecutable) {
  const InstallTree tree(false);
  TempFolder::Write(tree.Share() + "/Postwick.sys", "PROGNAME=Elsewhere\r\n");
  ScopedEnvironment env;
  env.Set("XDG_CONFIG_HOME", "/cfg");
  env.Set("XDG_STATE_HOME", "/state");
  const AppPaths paths = AppPaths::Locate(tree.Executable(), "");
  const std::string bin = tree.Prefix() + "/bin";
  EXPECT_EQ(paths.FileLayout(), AppPaths::Layout::BesideExecutable);
  EXPECT_EQ(paths.SettingsFile(), bin + "/postwick.opt");
  EXPECT_EQ(paths.LogFile(), bin + "/postwick.log");
  EXPECT_EQ(paths.ProductInfoFile(), bin + "/Postwick.sys");
  EXPECT_EQ(paths.HelpFolder(), bin + "/help");
  EXPECT_TRUE(paths.UserFolders().empty());
}

TEST(AppPaths, UserFoldersAreCreatedForTheUserAlone) {
  const InstallTree tree(true);
  TempFolder home;
  ScopedEnvironment env;
  env.Set("HOME", home.Path());
  env.Unset("XDG_CONFIG_HOME");
  env.Unset("XDG_STATE_HOME");
  const AppPaths paths = AppPaths::Locate(tree.Executable(), "");
  EXPECT_EQ(paths.CreateUserFolders(), "");
  for (const char* folder :
       {"/.config", "/.config/postwick", "/.local", "/.local/state", "/.local/state/postwick"}) {
    struct stat info {};
    ASSERT_EQ(::stat((home.Path() + folder).c_str(), &info), 0) << folder;
    EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
  }
  // Existing folders are left as they are; a file in the way is reported.
  EXPECT_EQ(paths.CreateUserFolders(), "");
  const AppPaths blocked = AppPaths::Locate(tree.Executable(), home.File("taken/data"));
  TempFolder::Write(home.File("taken"), "a file, not a folder");
  EXPECT_EQ(blocked.CreateUserFolders(), home.File("taken/data"));
}

}  // namespace
