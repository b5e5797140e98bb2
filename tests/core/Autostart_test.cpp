// The autostart entry: where it goes, how its Exec line quotes paths, and
// writing and removing it.
#include "core/Autostart.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

namespace {

using testing_support::ScopedEnvironment;
using testing_support::TempFolder;

TEST(Autostart, ExecArgumentsAreQuotedAndEscaped) {
  const struct {
    const char* argument;
    const char* want;
  } cases[] = {
      {"/usr/bin/postwick", "/usr/bin/postwick"},
      {"/home/ann/My Mail/postwick", "\"/home/ann/My Mail/postwick\""},
      {"/srv/a\"b", "\"/srv/a\\\\\"b\""},    // \" inside quotes, its backslash doubled by the key's escaping
      {"/srv/$HOME", "\"/srv/\\\\$HOME\""},  // no variable expansion
      {"/srv/a`b`", "\"/srv/a\\\\`b\\\\`\""},
      {"/srv/back\\slash", "\"/srv/back\\\\\\\\slash\""},  // four backslashes for one
      {"/srv/100%", "/srv/100%%"},                         // not a field code
      {"", "\"\""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExecArgument(c.argument), c.want) << c.argument;
}

TEST(Autostart, EntryRunsThisExecutableWithItsDataFolder) {
  EXPECT_NE(AutostartEntryText("/usr/bin/postwick", "").find("\nExec=/usr/bin/postwick\n"),
            std::string::npos);
  EXPECT_NE(AutostartEntryText("/opt/pw/postwick", "/home/ann/mail data")
                .find("\nExec=/opt/pw/postwick --data-dir \"/home/ann/mail data\"\n"),
            std::string::npos);
  // A line break in a path would end the Exec line and start another key.
  EXPECT_EQ(AutostartEntryText("/opt/pw/postwick", "/tmp/a\nExec=/bin/evil"), "");
}

TEST(Autostart, InstallAndRemoveInTheUsersConfigFolder) {
  TempFolder home;
  ScopedEnvironment env;
  env.Set("HOME", home.Path());
  for (const bool xdgSet : {true, false}) {
    SCOPED_TRACE(xdgSet ? "XDG_CONFIG_HOME set" : "XDG_CONFIG_HOME unset");
    const std::string config = xdgSet ? home.File("cfg") : home.File(".config");
    env.Set("XDG_CONFIG_HOME", xdgSet ? std::optional<std::string>(config) : std::nullopt);
    const std::string entry = config + "/autostart/org.example.postwick.desktop";
    EXPECT_EQ(AutostartEntryPath(), entry);

    const AutostartResult installed = InstallAutostart("/usr/bin/postwick", "");
    EXPECT_TRUE(installed.ok) << installed.message;
    EXPECT_NE(installed.message.find(entry), std::string::npos) << installed.message;
    EXPECT_NE(TempFolder::Read(entry).find("\nExec=/usr/bin/postwick\n"), std::string::npos);
    // Installing again replaces the entry, here with a data folder.
    EXPECT_TRUE(InstallAutostart("/usr/bin/postwick", "/srv/pw").ok);
    EXPECT_NE(TempFolder::Read(entry).find("\nExec=/usr/bin/postwick --data-dir /srv/pw\n"),
              std::string::npos);

    const AutostartResult removed = RemoveAutostart();
    EXPECT_TRUE(removed.ok) << removed.message;
    EXPECT_FALSE(std::filesystem::exists(entry));
    const AutostartResult again = RemoveAutostart();
    EXPECT_TRUE(again.ok) << again.message;
    EXPECT_NE(again.message.find("no autostart entry"), std::string::npos) << again.message;
  }
}

TEST(Autostart, AnEntryThatCannotBeWrittenIsReported) {
  TempFolder config;
  ScopedEnvironment env;
  env.Set("XDG_CONFIG_HOME", config.Path());
  TempFolder::Write(config.File("autostart"), "a file where the folder should be");
  const AutostartResult result = InstallAutostart("/usr/bin/postwick", "");
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find("Could not write the autostart entry"), std::string::npos) << result.message;
  EXPECT_FALSE(InstallAutostart("/usr/bin/post\twick", "").ok);
}

}  // namespace
