// The file-backed mail program account store.
#include "platform/AccountStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"

using os::AccountStore;
using testing_support::TempFolder;

namespace {

const std::string kRoot = os::kMailAccountsRoot;

TEST(AccountStore, ValuesSurviveSaveAndLoad) {
  TempFolder folder;
  AccountStore store(folder.File("accounts.reg"));
  auto key = store.CreateKey(kRoot + "\\00000001");
  const std::string awkward = "quote \" backslash \\ crlf \r\n tab \t end";
  key.WriteString("Account Name", awkward);
  key.WriteString("Empty", "");
  key.WriteDword("SMTP Port", 25);
  key.WriteDword("Big", 0xFFFFFFFFu);
  ASSERT_TRUE(store.Save());

  AccountStore reread(store.FilePath());
  ASSERT_TRUE(reread.Load());
  auto opened = reread.OpenKey(kRoot + "\\00000001");
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->ReadString("Account Name"), awkward);
  EXPECT_EQ(opened->ReadString("Empty"), "");
  EXPECT_EQ(opened->ReadDword("SMTP Port"), 25u);
  EXPECT_EQ(opened->ReadDword("Big"), 0xFFFFFFFFu);
  EXPECT_EQ(reread.Text(), store.Text());
}

TEST(AccountStore, NamesIgnoreCaseAndTypesAreChecked) {
  AccountStore store("/nonexistent/accounts.reg");
  auto key = store.CreateKey(kRoot + "\\A");
  key.WriteString("SMTP Server", "mail.example.org");
  key.WriteDword("SMTP Port", 587);
  auto same = store.OpenKey(kRoot + "\\a");  // other letter case, same key
  ASSERT_TRUE(same);
  EXPECT_EQ(same->ReadString("smtp server"), "mail.example.org");
  EXPECT_EQ(same->ReadDword("SMTP Server"), std::nullopt);  // a string, not a DWORD
  EXPECT_EQ(same->ReadString("SMTP Port"), std::nullopt);
  EXPECT_FALSE(same->ValueExists("OLD_HOST"));
  same->WriteString("smtp port", "text now");  // replaces whatever type was there
  EXPECT_EQ(key.ReadString("SMTP Port"), "text now");
  EXPECT_TRUE(key.DeleteValue("SMTP PORT"));
  EXPECT_FALSE(key.DeleteValue("SMTP Port"));
  EXPECT_FALSE(key.ValueExists("SMTP Port"));
}

TEST(AccountStore, KeysSubkeysAndOpeningWithoutCreating) {
  AccountStore store("/nonexistent/accounts.reg");
  store.CreateKey(kRoot + "\\00000002");
  store.CreateKey(kRoot + "\\00000001\\Deeper");
  store.CreateKey(kRoot + "\\00000002\\Also");
  store.CreateKey("Software\\Other");
  EXPECT_EQ(store.SubkeyNames(kRoot), (std::vector<std::string>{"00000002", "00000001"}));
  EXPECT_TRUE(store.KeyExists(kRoot));  // implied by the keys below it
  EXPECT_TRUE(store.KeyExists("software\\microsoft"));
  EXPECT_FALSE(store.KeyExists(kRoot + "\\0000000"));  // a prefix of a name is not a key
  EXPECT_FALSE(store.OpenKey(kRoot + "\\00000003"));
  EXPECT_FALSE(store.KeyExists(kRoot + "\\00000003"));
  EXPECT_TRUE(store.SubkeyNames(kRoot + "\\00000003").empty());
}

TEST(AccountStore, LoadSkipsWhatItDoesNotUnderstand) {
  TempFolder folder;
  const std::string path = folder.File("accounts.reg");
  TempFolder::Write(path,
                    "; comment\n"
                    "\"Orphan\"=\"before any key\"\n"
                    "[Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001]\r\n"
                    "  \"Account Name\"=\"Home\"  \r\n"
                    "\"SMTP Port\"=DWORD:0000001a\n"
                    "\"Bad Dword\"=dword:xyz\n"
                    "\"Too Long\"=dword:123456789\n"
                    "\"Unclosed=\"oops\n"
                    "garbage\n"
                    "[Unclosed key\n"
                    "\"After Bad Key\"=\"skipped\"\n");
  AccountStore store(path);
  ASSERT_TRUE(store.Load());
  auto key = store.OpenKey(kRoot + "\\00000001");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString("Account Name"), "Home");
  EXPECT_EQ(key->ReadDword("SMTP Port"), 26u);
  EXPECT_FALSE(key->ValueExists("Bad Dword"));
  EXPECT_FALSE(key->ValueExists("Too Long"));
  EXPECT_FALSE(key->ValueExists("After Bad Key"));
  EXPECT_EQ(store.SubkeyNames(kRoot).size(), 1u);
}

TEST(AccountStore, MissingFileIsAnEmptyStore) {
  TempFolder folder;
  AccountStore store(folder.File("none.reg"));
  store.CreateKey("stale");
  EXPECT_TRUE(store.Load());
  EXPECT_FALSE(store.KeyExists("stale"));
  EXPECT_FALSE(store.KeyExists(kRoot));

  AccountStore unreadable(folder.Path());  // a folder cannot be read as a file
  EXPECT_FALSE(unreadable.Load());
}

}  // namespace
