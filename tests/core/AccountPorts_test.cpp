// Giving the accounts this relay configured its listening port.
#include "core/AccountPorts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/AccountStore.h"
#include "support/TempFolder.h"

using os::AccountStore;
using testing_support::TempFolder;

namespace {

const std::string kRoot = os::kMailAccountsRoot;

class AccountPortsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AccountStore setup(path);
    struct Account {
      const char* name;
      std::optional<std::string> oldHost;
    };
    const Account accounts[] = {
        {"configured", "smtp.example.org"}, {"configured-padded", "  smtp.example.net "},
        {"blank-old-host", "   "},          {"empty-old-host", ""},
        {"not-configured", std::nullopt},
    };
    for (const auto& account : accounts) {
      auto key = setup.CreateKey(kRoot + "\\" + account.name);
      key.WriteString("SMTP Server", "localhost");
      key.WriteDword("SMTP Port", 587);
      if (account.oldHost) key.WriteString("OLD_HOST", *account.oldHost);
    }
    setup.CreateKey(kRoot + "\\dword-old-host").WriteDword("OLD_HOST", 1);
    setup.CreateKey("Software\\Elsewhere\\x").WriteString("OLD_HOST", "smtp.example.org");
    ASSERT_TRUE(setup.Save());
  }
  std::optional<std::uint32_t> PortOf(const std::string& key) const {
    AccountStore reread(path);
    reread.Load();
    auto opened = reread.OpenKey(key);
    return opened ? opened->ReadDword("SMTP Port") : std::nullopt;
  }

  TempFolder folder;
  std::string path = folder.File("accounts.reg");
};

TEST_F(AccountPortsTest, OnlyAccountsWithANonBlankOldHostChange) {
  AccountStore store(path);
  EXPECT_EQ(UpdateAccountPorts(store, "2525"), 2);
  const std::pair<const char*, std::uint32_t> expected[] = {
      {"configured", 2525},    {"configured-padded", 2525}, {"blank-old-host", 587},
      {"empty-old-host", 587}, {"not-configured", 587},
  };
  for (const auto& [name, port] : expected) EXPECT_EQ(PortOf(kRoot + "\\" + name), port) << name;
  EXPECT_EQ(PortOf(kRoot + "\\dword-old-host"), std::nullopt);
  EXPECT_EQ(PortOf("Software\\Elsewhere\\x"), std::nullopt);
}

TEST_F(AccountPortsTest, ReadsTheStoreAfreshEachTime) {
  AccountStore store(path);
  ASSERT_TRUE(store.Load());
  // Another program (the mail program) changes the file meanwhile.
  AccountStore other(path);
  other.Load();
  other.CreateKey(kRoot + "\\added").WriteString("OLD_HOST", "smtp.example.com");
  ASSERT_TRUE(other.Save());
  EXPECT_EQ(UpdateAccountPorts(store, "26"), 3);
  EXPECT_EQ(PortOf(kRoot + "\\added"), 26u);
}

TEST_F(AccountPortsTest, PortThatIsNotADecimalNumberWritesNothing) {
  const std::string before = TempFolder::Read(path);
  for (const char* port : {"", "abc", "25x", "-1", " 25", "4294967296", "99999999999"}) {
    AccountStore store(path);
    EXPECT_EQ(UpdateAccountPorts(store, port), 0) << port;
  }
  EXPECT_EQ(TempFolder::Read(path), before);
}

TEST(AccountPorts, NoAccountsRootWritesNothing) {
  TempFolder folder;
  AccountStore missing(folder.File("none.reg"));
  EXPECT_EQ(UpdateAccountPorts(missing, "2525"), 0);
  EXPECT_FALSE(std::filesystem::exists(folder.File("none.reg")));

  AccountStore other(folder.File("other.reg"));
  other.CreateKey("Software\\Other\\1").WriteString("OLD_HOST", "x");
  ASSERT_TRUE(other.Save());
  const std::string before = TempFolder::Read(other.FilePath());
  EXPECT_EQ(UpdateAccountPorts(other, "2525"), 0);
  EXPECT_EQ(TempFolder::Read(other.FilePath()), before);
}

}  // namespace
