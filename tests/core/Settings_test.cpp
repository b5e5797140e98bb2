// Reading and storing the DNS, port and local-only settings.
#include "core/Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/SettingsMessages.h"
#include "platform/AccountStore.h"
#include "support/TempFolder.h"

using testing_support::TempFolder;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  std::string Read() const { return TempFolder::Read(path); }
  void Write(const std::string& text) const { TempFolder::Write(path, text); }

  TempFolder folder;
  std::string path = folder.File("postwick.opt");
};

TEST_F(SettingsTest, ReadRules) {
  struct Case {
    const char* name;
    std::string file;
    std::string dns, port;
    bool localOnly;
  };
  const Case cases[] = {
      {"empty file", "", "", "25", true},
      {"upper-case keys", "USERDNS=1\r\nDNS=10.0.0.1\r\nUSERPORT=1\r\nPORT=2525\r\nFIREWALL=0\r\n",
       "10.0.0.1", "2525", false},
      {"lower-case keys", "userdns=1\ndns=10.0.0.1\nuserport=1\nport=2525\nfirewall=1\n", "10.0.0.1", "2525",
       true},
      {"space before 1 means no", "USERDNS= 1\r\nDNS=10.0.0.1\r\nUSERPORT= 1\r\nPORT=2525\r\n", "", "25",
       true},
      {"user flags off keep values out", "USERDNS=0\r\nDNS=10.0.0.1\r\nUSERPORT=0\r\nPORT=2525\r\n", "", "25",
       true},
      {"first line counts", "USERDNS=1\r\nDNS=10.0.0.1\r\nDNS=10.0.0.2\r\nUSERDNS=0\r\n", "10.0.0.1", "25",
       true},
      {"values untrimmed", "USERDNS=1\r\nDNS= 10.0.0.1 \r\nUSERPORT=1\r\nPORT=25x\r\n", " 10.0.0.1 ", "25x",
       true},
      {"user port without PORT line", "USERPORT=1\r\n", "", "", true},
      {"explicit open relay", "FIREWALL=0\r\n", "", "25", false},
      {"firewall value not exactly 1", "FIREWALL=yes\r\n", "", "25", false},
  };
  for (const auto& c : cases) {
    Write(c.file);
    const StoredSettings settings = ReadSettings(path);
    EXPECT_EQ(settings.UserDnsServer, c.dns) << c.name;
    EXPECT_EQ(settings.ListenPort, c.port) << c.name;
    EXPECT_EQ(settings.LocalOnly, c.localOnly) << c.name;
  }
}

// Without a settings file (first start) the relay must not accept mail from
// other computers: an open relay is something the user has to choose.
TEST_F(SettingsTest, MissingFileGivesSafeDefaults) {
  const StoredSettings settings = ReadSettings(folder.File("none.opt"));
  EXPECT_EQ(settings.UserDnsServer, "");
  EXPECT_EQ(settings.ListenPort, "25");
  EXPECT_TRUE(settings.LocalOnly);
}

TEST_F(SettingsTest, StoreDnsTrimsAndRewritesInPlace) {
  Write("# written by hand\r\nuserdns=0\r\nPORT=2525\r\nUSERPORT=1\r\nunknown line\r\n");
  const DnsStoreResult result = StoreDnsSetting(path, "  192.0.2.53  ");
  EXPECT_EQ(result.UserDnsServer, "192.0.2.53");
  EXPECT_FALSE(result.Autodetect);
  EXPECT_TRUE(result.FileWritten);
  EXPECT_EQ(
      Read(),
      "# written by hand\r\nUSERDNS=1\r\nPORT=2525\r\nUSERPORT=1\r\nunknown line\r\nDNS=192.0.2.53\r\n");
  EXPECT_EQ(ReadSettings(path).UserDnsServer, "192.0.2.53");
}

TEST_F(SettingsTest, StoreEmptyDnsKeepsTheServerLineAndAsksForDetection) {
  Write("USERDNS=1\r\nDNS=192.0.2.53\r\n");
  const DnsStoreResult result = StoreDnsSetting(path, "   ");
  EXPECT_EQ(result.UserDnsServer, "");
  EXPECT_TRUE(result.Autodetect);
  EXPECT_EQ(Read(), "USERDNS=0\r\nDNS=192.0.2.53\r\n");
  EXPECT_EQ(ReadSettings(path).UserDnsServer, "");
}

TEST_F(SettingsTest, StoreCreatesAMissingFile) {
  const PortStoreResult result = StorePortSetting(path, "25", "2525", false, nullptr);
  EXPECT_TRUE(result.FileWritten);
  EXPECT_EQ(Read(), "USERPORT=1\r\nPORT=2525\r\nFIREWALL=0\r\n");
}

TEST_F(SettingsTest, StorePortMessagesAndValues) {
  struct Case {
    const char* name;
    std::string oldPort, port;
    std::string listenPort;
    bool changed;
    bool nonStandardMessage;
  };
  const Case cases[] = {
      {"same port", "2525", "2525", "2525", false, false},
      {"same port after trimming", "2525", " 2525 ", "2525", false, false},
      {"new specific port", "25", "2525", "2525", true, true},
      {"back to the standard port", "2525", "", "25", true, false},
      {"specific 25 from another port", "2525", "25", "25", true, false},
      {"standard again", "25", "", "25", false, false},
  };
  for (const auto& c : cases) {
    Write("USERPORT=1\r\nPORT=" + c.oldPort + "\r\n");
    const PortStoreResult result = StorePortSetting(path, c.oldPort, c.port, true, nullptr);
    EXPECT_EQ(result.ListenPort, c.listenPort) << c.name;
    EXPECT_EQ(result.PortChanged, c.changed) << c.name;
    std::vector<std::string> expected;
    if (c.nonStandardMessage) expected.push_back(NonStandardPortMessage(c.listenPort));
    expected.push_back(kRestartMessage);
    EXPECT_EQ(result.Messages, expected) << c.name;
    EXPECT_EQ(ReadSettings(path).ListenPort, c.listenPort) << c.name;
  }
}

TEST_F(SettingsTest, StandardPortKeepsThePortLineAndStoresTheFirewall) {
  Write("FIREWALL=1\r\nUSERPORT=1\r\nPORT=2525\r\n");
  const PortStoreResult result = StorePortSetting(path, "2525", "", false, nullptr);
  EXPECT_FALSE(result.LocalOnly);
  EXPECT_EQ(Read(), "FIREWALL=0\r\nUSERPORT=0\r\nPORT=2525\r\n");
}

TEST_F(SettingsTest, PortBackToStandardUpdatesConfiguredAccounts) {
  os::AccountStore accounts(folder.File("accounts.reg"));
  const std::string root = os::kMailAccountsRoot;
  accounts.CreateKey(root + "\\00000001").WriteString("OLD_HOST", "smtp.example.org");
  accounts.CreateKey(root + "\\00000001").WriteDword("SMTP Port", 2525);
  accounts.CreateKey(root + "\\00000002").WriteDword("SMTP Port", 587);
  ASSERT_TRUE(accounts.Save());

  Write("USERPORT=1\r\nPORT=2525\r\n");
  const PortStoreResult result = StorePortSetting(path, "2525", "", true, &accounts);
  EXPECT_EQ(result.AccountsUpdated, 1);
  EXPECT_EQ(result.Messages, std::vector<std::string>{kRestartMessage});

  os::AccountStore reread(accounts.FilePath());
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.OpenKey(root + "\\00000001")->ReadDword("SMTP Port"), 25u);
  EXPECT_EQ(reread.OpenKey(root + "\\00000002")->ReadDword("SMTP Port"), 587u);

  // The same port again touches no account.
  const PortStoreResult again = StorePortSetting(path, "25", "", true, &accounts);
  EXPECT_EQ(again.AccountsUpdated, 0);
}

}  // namespace
