// The key=value line file: lookup rules, in-place rewrite and atomic saves.
#include "core/SettingsFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempFolder.h"
#include "support/WriteFailures.h"

using namespace testing_support;

namespace {

TEST(SettingsFile, LookupRules) {
  SettingsFile file;
  file.SetText(
      "; a comment line\r\n"
      "dns=10.0.0.1\r\n"
      "DNS=10.9.9.9\r\n"
      "PORT = 2525\r\n"
      "USERPORT= 1\r\n"
      "EMPTY=\r\n"
      "EQUALS=a=b\r\n"
      "no equals sign here\r\n");
  struct Case {
    const char* key;
    bool present;
    std::string value;
  };
  const Case cases[] = {
      {"DNS", true, "10.0.0.1"},  // first occurrence, any letter case
      {"Dns", true, "10.0.0.1"},
      {"PORT", false, ""},  // "PORT " is another key
      {"USERPORT", true, " 1"},
      {"EMPTY", true, ""},
      {"EQUALS", true, "a=b"},
      {"MISSING", false, ""},
      {"no equals sign here", false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(file.Has(c.key), c.present) << c.key;
    EXPECT_EQ(file.Value(c.key), c.value) << c.key;
  }
}

TEST(SettingsFile, SetValueRewritesInPlaceOrAppends) {
  SettingsFile file;
  file.SetText("# mine\nuserdns=1\nDNS=10.0.0.1\ndns=10.9.9.9\nOTHER=x\n");
  file.SetValue("USERDNS", "0");
  file.SetValue("DNS", "192.0.2.53");
  file.SetValue("PORT", "2525");
  EXPECT_EQ(file.Lines(), (std::vector<std::string>{"# mine", "USERDNS=0", "DNS=192.0.2.53", "dns=10.9.9.9",
                                                    "OTHER=x", "PORT=2525"}));
}

TEST(SettingsFile, SaveIsCrLfAndAtomic) {
  TempFolder folder;
  const std::string path = folder.File("postwick.opt");
  SettingsFile file;
  EXPECT_FALSE(file.Load(path));  // missing
  EXPECT_TRUE(file.Lines().empty());
  file.SetValue("PORT", "25");
  ASSERT_TRUE(file.Save(path));
  EXPECT_EQ(TempFolder::Read(path), "PORT=25\r\n");

  // When the new content cannot be written (a full disk), the old file
  // stays whole.
  file.SetValue("PORT", "2525");
  {
    FileSizeLimit full(4);
    EXPECT_FALSE(file.Save(path));
  }
  EXPECT_EQ(TempFolder::Read(path), "PORT=25\r\n");

  ASSERT_TRUE(file.Save(path));
  SettingsFile reread;
  EXPECT_TRUE(reread.Load(path));
  EXPECT_EQ(reread.Value("port"), "2525");
}

// A huge or binary file where the settings should be: only the whole lines
// of its first MiB count, and the caller learns that there was more.
TEST(SettingsFile, OfAHugeFileOnlyTheWholeLinesWithinTheLimitCount) {
  TempFolder folder;
  const std::string path = folder.File("postwick.opt");
  std::string text = "USERPORT=1\r\nPORT=2525\r\n";
  text += std::string(SettingsFile::kSizeLimit - text.size() - 4, '\0') + "\r\nDNS=cut off here\r\n";
  TempFolder::Write(path, text);
  std::filesystem::resize_file(path, 100u * 1024 * 1024);

  SettingsFile file;
  EXPECT_TRUE(file.Load(path));
  EXPECT_TRUE(file.Truncated());
  EXPECT_EQ(file.Value("PORT"), "2525");
  EXPECT_FALSE(file.Has("DNS"));
  EXPECT_EQ(file.Lines().size(), 3u);

  TempFolder::Write(path, "PORT=25\r\n");
  EXPECT_TRUE(file.Load(path));
  EXPECT_FALSE(file.Truncated());
}

}  // namespace
