// Where the settings, log, product and help files are found.
#include "core/AppPaths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

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
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string savedValue = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", "/home/ann/.config", 1);
  EXPECT_EQ(AppPaths("/usr/bin/postwick").AccountStoreFile(), "/home/ann/.config/postwick/accounts.reg");
  if (saved) {
    ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

TEST(AppPaths, ThisProcessIsFound) {
  ::unsetenv(kDataDirVariable);
  const std::string executable = AppPaths::CurrentExecutablePath();
  EXPECT_NE(executable.find("AppPaths_test"), std::string::npos) << executable;
  EXPECT_EQ(AppPaths::ForThisProcess({}).LogFile(), executable + ".log");
}

}  // namespace
