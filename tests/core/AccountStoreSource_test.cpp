// The account store's accounts listed, pointed at the relay and restored.
#include "core/AccountStoreSource.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/AccountStore.h"
#include "support/TempFolder.h"

using os::AccountStore;
using testing_support::TempFolder;

namespace {

const std::string kRoot = os::kMailAccountsRoot;

TEST(MailAccountTest, LinesSplitByPosition) {
  const MailAccount full{"Home", "smtp.example.com", "587", "90", true, kRoot + "\\0001"};
  const std::string line = JoinMailAccount(full);
  EXPECT_EQ(line,
            "Home\x03smtp.example.com\x03"
            "587\x03"
            "90\x03"
            "1\x03" +
                kRoot + "\\0001");
  const MailAccount back = SplitMailAccount(line);
  EXPECT_EQ(back.AccountName, "Home");
  EXPECT_EQ(back.SmtpServer, "smtp.example.com");
  EXPECT_EQ(back.SmtpPort, "587");
  EXPECT_EQ(back.SmtpTimeout, "90");
  EXPECT_TRUE(back.Configured);
  EXPECT_EQ(back.KeyPath, kRoot + "\\0001");

  const MailAccount empties = SplitMailAccount(
      "\x03\x03\x03\x03"
      "0\x03"
      "a\x03"
      "b");
  EXPECT_EQ(empties.AccountName, "");
  EXPECT_FALSE(empties.Configured);
  EXPECT_EQ(empties.KeyPath,
            "a\x03"
            "b");  // the last field takes the rest
  const MailAccount shortLine = SplitMailAccount("Only\x03server");
  EXPECT_EQ(shortLine.SmtpServer, "server");
  EXPECT_EQ(shortLine.KeyPath, "");
}

TEST(MailAccountTest, AccountPortForListenPort) {
  const std::pair<const char*, unsigned> cases[] = {
      {"2525", 2525}, {"25", 25},  {"65535", 65535}, {"", 25},
      {"abc", 25},    {" 26", 25}, {"0", 25},        {"65536", 25},
  };
  for (const auto& [text, port] : cases) EXPECT_EQ(AccountPortFor(text), port) << text;
}

class AccountStoreSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AccountStore setup(path);
    auto plain = setup.CreateKey(kRoot + "\\00000001");
    plain.WriteString("Account Name", "Home");
    plain.WriteString("SMTP Server", "smtp.example.com");
    auto full = setup.CreateKey(kRoot + "\\00000002");
    full.WriteString("Account Name", " Work ");
    full.WriteString("SMTP Server", "mail.example.net");
    full.WriteDword("SMTP Port", 587);
    full.WriteDword("SMTP Timeout", 90);
    setup.CreateKey(kRoot + "\\blank-name").WriteString("Account Name", "   ");
    setup.CreateKey(kRoot + "\\blank-name").WriteString("SMTP Server", "smtp.example.com");
    setup.CreateKey(kRoot + "\\blank-server").WriteString("Account Name", "News");
    setup.CreateKey(kRoot + "\\blank-server").WriteString("SMTP Server", "  ");
    setup.CreateKey(kRoot + "\\no-server").WriteString("Account Name", "Other");
    auto emptyOld = setup.CreateKey(kRoot + "\\empty-old-host");
    emptyOld.WriteString("Account Name", "Half");
    emptyOld.WriteString("SMTP Server", "localhost");
    emptyOld.WriteString("OLD_HOST", "");
    ASSERT_TRUE(setup.Save());
  }
  std::vector<MailAccount> Accounts() {
    std::vector<std::string> lines{"left over"};
    source.ReadMailAccounts(lines);
    std::vector<MailAccount> accounts;
    for (const auto& line : lines) accounts.push_back(SplitMailAccount(line));
    return accounts;
  }
  std::optional<os::AccountKey> Key(AccountStore& store, const std::string& name) {
    store.Load();
    return store.OpenKey(kRoot + "\\" + name);
  }

  TempFolder folder;
  std::string path = folder.File("accounts.reg");
  AccountStoreSource source{path};
};

TEST_F(AccountStoreSourceTest, ListsNamedAccountsWithAServer) {
  const auto accounts = Accounts();
  ASSERT_EQ(accounts.size(), 3u);
  EXPECT_EQ(JoinMailAccount(accounts[0]),
            "Home\x03smtp.example.com\x03"
            "25\x03"
            "60\x03"
            "0\x03" +
                kRoot + "\\00000001");
  EXPECT_EQ(JoinMailAccount(accounts[1]),
            " Work \x03mail.example.net\x03"
            "587\x03"
            "90\x03"
            "0\x03" +
                kRoot + "\\00000002");
  EXPECT_EQ(accounts[2].AccountName, "Half");
  EXPECT_TRUE(accounts[2].Configured);
  EXPECT_EQ(Accounts().size(), 3u);
  EXPECT_TRUE(AccountStoreSource(folder.File("none.reg")).WhyNotWritable({}).empty());
}

TEST_F(AccountStoreSourceTest, ConfigureThenRestore) {
  const auto accounts = Accounts();
  ASSERT_TRUE(source.ApplyChanges({{accounts[0], true}}, "2525"));
  AccountStore store(path);
  auto key = Key(store, "00000001");
  EXPECT_EQ(key->ReadString("OLD_HOST"), "smtp.example.com");
  EXPECT_EQ(key->ReadDword("OLD_PORT"), 25u);
  EXPECT_EQ(key->ReadDword("OLD_TIMEOUT"), 60u);
  EXPECT_EQ(key->ReadString("SMTP Server"), "localhost");
  EXPECT_EQ(key->ReadDword("SMTP Port"), 2525u);
  EXPECT_EQ(key->ReadDword("SMTP Timeout"), 600u);
  EXPECT_TRUE(Accounts()[0].Configured);

  ASSERT_TRUE(source.ApplyChanges({{Accounts()[0], false}}, "2525"));
  key = Key(store, "00000001");
  EXPECT_EQ(key->ReadString("SMTP Server"), "smtp.example.com");
  EXPECT_EQ(key->ReadDword("SMTP Port"), 25u);
  EXPECT_EQ(key->ReadDword("SMTP Timeout"), 60u);
  for (const char* saved : {"OLD_HOST", "OLD_PORT", "OLD_TIMEOUT"})
    EXPECT_FALSE(key->ValueExists(saved)) << saved;
  EXPECT_FALSE(Accounts()[0].Configured);
}

TEST_F(AccountStoreSourceTest, RestoreUsesDefaultsForMissingSavedValuesAndSkipsWithoutOldHost) {
  {
    AccountStore store(path);
    auto key = Key(store, "00000002");
    key->WriteString("OLD_HOST", "mail.example.net");
    ASSERT_TRUE(store.Save());
  }
  ASSERT_TRUE(source.ApplyChanges({{Accounts()[1], false}}, "2525"));
  AccountStore store(path);
  auto key = Key(store, "00000002");
  EXPECT_EQ(key->ReadDword("SMTP Port"), 25u);
  EXPECT_EQ(key->ReadDword("SMTP Timeout"), 60u);

  // The saved server is gone (or is no text): nothing changes.
  key->WriteDword("OLD_HOST", 7);
  ASSERT_TRUE(store.Save());
  const std::string before = TempFolder::Read(path);
  MailAccount gone = Accounts()[1];
  EXPECT_FALSE(source.ApplyChanges({{gone, false}}, "2525"));
  gone.KeyPath = kRoot + "\\missing";
  EXPECT_FALSE(source.ApplyChanges({{gone, true}}, "2525"));
  EXPECT_EQ(TempFolder::Read(path), before);
}

TEST_F(AccountStoreSourceTest, TwoConfiguredAccountsFollowThePortAndAnEmptyOldHostDoesNot) {
  const auto accounts = Accounts();
  ASSERT_TRUE(source.ApplyChanges({{accounts[0], true}, {accounts[1], true}}, "25"));
  EXPECT_EQ(source.UpdateAccountPorts("2525"), 2);
  AccountStore store(path);
  EXPECT_EQ(Key(store, "00000001")->ReadDword("SMTP Port"), 2525u);
  EXPECT_EQ(Key(store, "00000002")->ReadDword("SMTP Port"), 2525u);
  EXPECT_EQ(Key(store, "empty-old-host")->ReadDword("SMTP Port"), std::nullopt);
  EXPECT_EQ(Key(store, "no-server")->ReadDword("SMTP Port"), std::nullopt);
}

}  // namespace
