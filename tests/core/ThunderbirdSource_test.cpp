// Thunderbird's outgoing servers listed, pointed at the relay and restored,
// against fixture profiles written into a temporary folder.
#include "core/ThunderbirdSource.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/ThunderbirdProfiles.h"
#include "support/TempFolder.h"

using testing_support::TempFolder;

namespace {

// Two servers with every pref the relay changes, one with none but its host,
// one without a host (not listed); the time-out left at Thunderbird's default.
const std::string kWorkPrefs =
    "// Mozilla User Preferences\n"
    "\n"
    "user_pref(\"mail.smtp.defaultserver\", \"smtp1\");\n"
    "user_pref(\"mail.smtpserver.smtp1.authMethod\", 3);\n"
    "user_pref(\"mail.smtpserver.smtp1.description\", \"Work\");\n"
    "user_pref(\"mail.smtpserver.smtp1.hostname\", \"smtp.example.com\");\n"
    "user_pref(\"mail.smtpserver.smtp1.port\", 587);\n"
    "user_pref(\"mail.smtpserver.smtp1.socketType\", 2);\n"
    "user_pref(\"mail.smtpserver.smtp1.username\", \"ann\");\n"
    "user_pref(\"mail.smtpserver.smtp2.hostname\", \"mail.example.net\");\n"
    "user_pref(\"mail.smtpserver.smtp2.username\", \"ann@example.net\");\n"
    "user_pref(\"mail.smtpserver.smtp3.hostname\", \"  \");\n"
    "user_pref(\"mail.smtpservers\", \"smtp1,smtp2,smtp3\");\n"
    "user_pref(\"mail.startup.enabledMailCheckOnce\", true);\n";

const std::string kHomePrefs =
    "user_pref(\"mail.smtpserver.smtp4.hostname\", \"smtp.example.org\");\n"
    "user_pref(\"mail.smtpserver.smtp4.port\", 465);\n"
    "user_pref(\"mail.smtpserver.smtp4.socketType\", 3);\n"
    "user_pref(\"mail.smtpservers\", \"smtp4\");\n"
    "user_pref(\"mailnews.tcptimeout\", 120);\n";

class ThunderbirdSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root + "/abcd.default-release");
    std::filesystem::create_directories(homeFolder);
    TempFolder::Write(
        root + "/profiles.ini",
        "[General]\nStartWithLastProfile=1\n\n"
        "[Profile0]\nName=default-release\nIsRelative=1\nPath=abcd.default-release\nDefault=1\n\n"
        "[Profile1]\nName=home\nIsRelative=0\nPath=" +
            homeFolder + "\n\n[Install4F96D1932A9F858E]\nDefault=abcd.default-release\n");
    TempFolder::Write(workFolder + "/prefs.js", kWorkPrefs);
    TempFolder::Write(homeFolder + "/prefs.js", kHomePrefs);
  }

  std::vector<MailAccount> Accounts() {
    std::vector<std::string> lines{"left over"};
    source.ReadMailAccounts(lines);
    std::vector<MailAccount> accounts;
    for (const auto& line : lines) accounts.push_back(SplitMailAccount(line));
    return accounts;
  }
  MailAccountChange Change(const std::string& folder, const std::string& key, bool configure) {
    MailAccountChange change;
    change.Account.KeyPath = ThunderbirdSource::KeyPath(folder, key);
    change.Configure = configure;
    return change;
  }
  std::string Prefs(const std::string& folder) { return TempFolder::Read(folder + "/prefs.js"); }

  TempFolder temp;
  std::string root = temp.File("thunderbird");
  std::string workFolder = root + "/abcd.default-release";
  std::string homeFolder = temp.File("elsewhere/home-profile");
  ThunderbirdSource source{{temp.File("missing-root"), root}};
};

TEST_F(ThunderbirdSourceTest, ListsEveryOutgoingServerOfEveryProfile) {
  struct Row {
    std::string name, server, port, timeout, path;
  };
  const Row expected[] = {
      {"Thunderbird (default-release): Work", "smtp.example.com", "587", "100", workFolder + "\\smtp1"},
      {"Thunderbird (default-release): ann@example.net", "mail.example.net", "25", "100",
       workFolder + "\\smtp2"},
      {"Thunderbird (home): smtp.example.org", "smtp.example.org", "465", "120", homeFolder + "\\smtp4"},
  };
  const auto accounts = Accounts();
  ASSERT_EQ(accounts.size(), std::size(expected));
  for (std::size_t i = 0; i < accounts.size(); ++i) {
    EXPECT_EQ(accounts[i].AccountName, expected[i].name);
    EXPECT_EQ(accounts[i].SmtpServer, expected[i].server);
    EXPECT_EQ(accounts[i].SmtpPort, expected[i].port);
    EXPECT_EQ(accounts[i].SmtpTimeout, expected[i].timeout);
    EXPECT_FALSE(accounts[i].Configured);
    EXPECT_EQ(accounts[i].KeyPath, expected[i].path);
  }
}

TEST_F(ThunderbirdSourceTest, ConfiguringPointsTheServerAtTheRelayAndKeepsABackup) {
  ASSERT_TRUE(source.ApplyChanges({Change(workFolder, "smtp1", true)}, "2525"));
  const ThunderbirdPrefs prefs(Prefs(workFolder));
  EXPECT_EQ(prefs.String("mail.smtpserver.smtp1.hostname"), "localhost");
  EXPECT_EQ(prefs.Integer("mail.smtpserver.smtp1.port"), 2525);
  EXPECT_EQ(prefs.Integer("mail.smtpserver.smtp1.socketType"), 0);
  EXPECT_EQ(prefs.Integer("mail.smtpserver.smtp1.authMethod"), 1);
  EXPECT_EQ(prefs.Integer("mailnews.tcptimeout"), 600);
  EXPECT_EQ(prefs.String("mail.smtpserver.smtp2.hostname"), "mail.example.net");
  EXPECT_EQ(TempFolder::Read(workFolder + "/prefs.js.postwick-backup"), kWorkPrefs);
  EXPECT_EQ(Prefs(homeFolder), kHomePrefs);
  EXPECT_FALSE(std::filesystem::exists(homeFolder + "/prefs.js.postwick-backup"));
  const auto accounts = Accounts();
  EXPECT_TRUE(accounts[0].Configured);
  EXPECT_EQ(accounts[0].SmtpServer, "localhost");
  EXPECT_FALSE(accounts[1].Configured);

  // The backup keeps the first original, whatever changes come later.
  ASSERT_TRUE(source.ApplyChanges({Change(workFolder, "smtp2", true)}, "2525"));
  EXPECT_EQ(TempFolder::Read(workFolder + "/prefs.js.postwick-backup"), kWorkPrefs);
}

TEST_F(ThunderbirdSourceTest, RestoringGivesBackTheOriginalFileInAnyOrder) {
  // The shared time-out stays raised until the last server is restored.
  ASSERT_TRUE(source.ApplyChanges({Change(workFolder, "smtp1", true)}, "2525"));
  ASSERT_TRUE(source.ApplyChanges({Change(workFolder, "smtp2", true)}, "2525"));
  ASSERT_TRUE(source.ApplyChanges({Change(workFolder, "smtp1", false)}, "2525"));
  EXPECT_EQ(ThunderbirdPrefs(Prefs(workFolder)).Integer("mailnews.tcptimeout"), 600);
  EXPECT_EQ(ThunderbirdPrefs(Prefs(workFolder)).String("mail.smtpserver.smtp1.hostname"), "smtp.example.com");
  ASSERT_TRUE(source.ApplyChanges({Change(workFolder, "smtp2", false)}, "2525"));
  EXPECT_EQ(Prefs(workFolder), kWorkPrefs);

  // Both in one apply, on a profile with a time-out of its own.
  ASSERT_TRUE(
      source.ApplyChanges({Change(homeFolder, "smtp4", true), Change(workFolder, "smtp2", true)}, "26"));
  EXPECT_EQ(ThunderbirdPrefs(Prefs(homeFolder)).Integer("mail.smtpserver.smtp4.port"), 26);
  ASSERT_TRUE(
      source.ApplyChanges({Change(homeFolder, "smtp4", false), Change(workFolder, "smtp2", false)}, "26"));
  EXPECT_EQ(Prefs(homeFolder), kHomePrefs);
  EXPECT_EQ(Prefs(workFolder), kWorkPrefs);
}

TEST_F(ThunderbirdSourceTest, ChangesThatFindNothingToDoWriteNothing) {
  // Restoring a server that is not configured, an unknown server, a profile
  // that is gone.
  EXPECT_FALSE(source.ApplyChanges({Change(workFolder, "smtp1", false), Change(workFolder, "smtp9", true),
                                    Change(temp.File("gone"), "smtp1", true)},
                                   "2525"));
  EXPECT_EQ(Prefs(workFolder), kWorkPrefs);
  EXPECT_FALSE(std::filesystem::exists(workFolder + "/prefs.js.postwick-backup"));
}

TEST_F(ThunderbirdSourceTest, UpdateAccountPortsFollowsThePortOfConfiguredServersOnly) {
  ASSERT_TRUE(
      source.ApplyChanges({Change(workFolder, "smtp1", true), Change(homeFolder, "smtp4", true)}, "2525"));
  EXPECT_EQ(source.UpdateAccountPorts("2626"), 2);
  EXPECT_EQ(ThunderbirdPrefs(Prefs(workFolder)).Integer("mail.smtpserver.smtp1.port"), 2626);
  EXPECT_EQ(ThunderbirdPrefs(Prefs(workFolder)).Token("mail.smtpserver.smtp2.port"), std::nullopt);
  EXPECT_EQ(ThunderbirdPrefs(Prefs(homeFolder)).Integer("mail.smtpserver.smtp4.port"), 2626);
  const std::string before = Prefs(workFolder);
  for (const char* port : {"", "abc", "70000", " 25", "0"})
    EXPECT_EQ(source.UpdateAccountPorts(port), 0) << port;
  EXPECT_EQ(Prefs(workFolder), before);
  // Restoring after the port moved still gives back the original file.
  ASSERT_TRUE(source.ApplyChanges({Change(workFolder, "smtp1", false)}, "2626"));
  EXPECT_EQ(Prefs(workFolder), kWorkPrefs);
}

TEST_F(ThunderbirdSourceTest, AnEmptySavedHostIsListedAsConfiguredButKeepsItsPort) {
  TempFolder::Write(homeFolder + "/prefs.js",
                    kHomePrefs + "user_pref(\"mail.smtpserver.smtp4.postwick_old_hostname\", \"\");\n");
  EXPECT_TRUE(Accounts()[2].Configured);
  EXPECT_EQ(source.UpdateAccountPorts("2525"), 0);
  EXPECT_EQ(ThunderbirdPrefs(Prefs(homeFolder)).Integer("mail.smtpserver.smtp4.port"), 465);
}

// A child process that holds the fcntl lock of a file until it is killed,
// as a running Thunderbird holds .parentlock.
class LockHolder {
 public:
  explicit LockHolder(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      ::fcntl(fd, F_SETLK, &lock);
      (void)!::write(ready[1], "x", 1);
      ::pause();
      ::_exit(0);
    }
    char byte;
    (void)!::read(ready[0], &byte, 1);
    ::close(ready[0]);
    ::close(ready[1]);
  }
  ~LockHolder() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
};

pid_t ProcessThatHasEnded() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

TEST_F(ThunderbirdSourceTest, ProfileLocks) {
  struct Case {
    const char* what;
    std::string symlinkTarget;  // empty: no "lock" symlink
    bool parentLockHeld;
    bool inUse;
  };
  const Case cases[] = {
      {"never run", "", false, false},
      {"running (symlink)", "127.0.1.1:+" + std::to_string(::getpid()), false, true},
      {"running (fcntl only)", "", true, true},
      {"crashed: process gone", "127.0.1.1:+" + std::to_string(ProcessThatHasEnded()), false, false},
      {"unreadable symlink", "somewhere", false, true},
  };
  for (const Case& c : cases) {
    TempFolder profile;
    TempFolder::Write(profile.File(".parentlock"), "");
    if (!c.symlinkTarget.empty()) std::filesystem::create_symlink(c.symlinkTarget, profile.File("lock"));
    std::optional<LockHolder> holder;
    if (c.parentLockHeld) holder.emplace(profile.File(".parentlock"));
    EXPECT_EQ(ThunderbirdProfileInUse(profile.Path()), c.inUse) << c.what;
  }
}

TEST_F(ThunderbirdSourceTest, AHeldProfileIsRefusedAndLeftByteForByte) {
  LockHolder thunderbird(homeFolder + "/.parentlock");
  const std::vector<MailAccountChange> changes = {Change(homeFolder, "smtp4", true),
                                                  Change(workFolder, "smtp1", true)};
  EXPECT_EQ(source.WhyNotWritable(changes),
            "Thunderbird is running with the profile \"home\". Please close Thunderbird first, then press Ok "
            "again.");
  EXPECT_EQ(source.WhyNotWritable({Change(workFolder, "smtp1", true)}), "");
  // Applying anyway changes only the free profile.
  EXPECT_TRUE(source.ApplyChanges(changes, "2525"));
  EXPECT_EQ(Prefs(homeFolder), kHomePrefs);
  EXPECT_FALSE(std::filesystem::exists(homeFolder + "/prefs.js.postwick-backup"));
  EXPECT_NE(Prefs(workFolder), kWorkPrefs);
  // Nor does the port follow into a held profile.
  TempFolder::Write(homeFolder + "/prefs.js",
                    kHomePrefs + "user_pref(\"mail.smtpserver.smtp4.postwick_old_hostname\", \"x\");\n");
  const std::string held = Prefs(homeFolder);
  EXPECT_EQ(source.UpdateAccountPorts("2626"), 1);
  EXPECT_EQ(Prefs(homeFolder), held);
}

TEST_F(ThunderbirdSourceTest, ASymlinkedPrefsFileStaysALink) {
  std::filesystem::rename(homeFolder + "/prefs.js", temp.File("real-prefs.js"));
  std::filesystem::create_symlink(temp.File("real-prefs.js"), homeFolder + "/prefs.js");
  ASSERT_TRUE(source.ApplyChanges({Change(homeFolder, "smtp4", true)}, "2525"));
  EXPECT_TRUE(std::filesystem::is_symlink(homeFolder + "/prefs.js"));
  EXPECT_EQ(
      ThunderbirdPrefs(TempFolder::Read(temp.File("real-prefs.js"))).Integer("mail.smtpserver.smtp4.port"),
      2525);
}

TEST(ThunderbirdProfilesTest, ReadsProfilesIni) {
  TempFolder root;
  TempFolder::Write(
      root.File("profiles.ini"),
      "[General]\r\nStartWithLastProfile=1\r\n[Profile1]\r\nName=b\r\nIsRelative=1\r\nPath=Profiles/"
      "x.b\r\n[Profile0]\r\nName=a\r\nIsRelative=0\r\nPath=/srv/a\r\n[Profile2]\r\nName=no path\r\n");
  const auto profiles = ReadThunderbirdProfiles(root.Path());
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(profiles[0].Name, "b");
  EXPECT_EQ(profiles[0].Folder, root.Path() + "/Profiles/x.b");
  EXPECT_EQ(profiles[1].Name, "a");
  EXPECT_EQ(profiles[1].Folder, "/srv/a");
  EXPECT_TRUE(ReadThunderbirdProfiles(root.File("none")).empty());
}

}  // namespace
