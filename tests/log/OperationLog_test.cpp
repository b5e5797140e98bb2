// The operation log: record format, trimming, the failure watch and the log
// file (atomic saves, untouched when nothing changed).
#include "log/OperationLog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"

using testing_support::TempFolder;

namespace {

// 2026-12-10 13:05:09 local time; the tests run in the C locale, where %x is
// "12/10/26" and %X is "13:05:09".
const TDateTime kAfternoon = EncodeDateTime({2026, 12, 10, 13, 5, 9, 0});

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> parts{""};
  for (const char c : line) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

std::string NumberedLines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "old " + std::to_string(i) + "\r\n";
  return text;
}

class OperationLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_TIME, "C");
    log.SetClock([] { return kAfternoon; });
    log.SetSendErrorsHook([this] { ++warnings; });
  }
  void Fail(const std::string& recipient, bool lookupSucceeded = true) {
    log.WriteLogRecord(false, lookupSucceeded, recipient, "subject", "Unable to send");
  }

  TOperationLog log;
  int warnings = 0;
  TempFolder folder;
};

TEST_F(OperationLogTest, RecordLineCarriesFieldsInOrder) {
  log.WriteLogRecord(true, true, "ann@example.org", "Hello there", "Sent successfully");
  log.WriteLogRecord(false, false, "bob@example.net", "", "Could not resolve domain");
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "1 ann@example.org\tHello there\tSent successfully\t12/10/26 13:05:09");
  EXPECT_EQ(lines[1], "0 bob@example.net\t\tCould not resolve domain\t12/10/26 13:05:09");
}

TEST_F(OperationLogTest, DateAloneAtExactlyMidnight) {
  struct Case {
    DateTimeParts time;
    std::string expected;
  };
  const Case cases[] = {
      {{2026, 12, 10, 0, 0, 0, 0}, "12/10/26"},          {{2026, 12, 10, 0, 0, 1, 0}, "12/10/26 00:00:01"},
      {{2026, 12, 10, 0, 1, 0, 0}, "12/10/26 00:01:00"}, {{2026, 12, 9, 23, 59, 59, 0}, "12/09/26 23:59:59"},
      {{2027, 1, 1, 12, 0, 0, 0}, "01/01/27 12:00:00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TOperationLog::FormatTime(EncodeDateTime(c.time)), c.expected);
  }
  log.SetClock([] { return EncodeDateTime({2026, 12, 11, 0, 0, 0, 0}); });
  log.WriteLogRecord(true, true, "a@b", "s", "Sent successfully");
  EXPECT_EQ(log.Lines().at(0), "1 a@b\ts\tSent successfully\t12/11/26");
}

// Line breaks, tabs and NULs inside any field would split the record, shift
// its fields or cut the line short; every one of them becomes a space (a CR LF or LF CR pair, one space).
TEST_F(OperationLogTest, FieldsAreCleanedOfTabsAndLineBreaks) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"first line\r\nsecond line", "first line second line"},
      {"a\n\rb", "a b"},
      {"a\r\rb", "a  b"},
      {"a\nb\rc", "a b c"},
      {"a\r\n\r\nb", "a  b"},
      {"tab\there", "tab here"},
      {std::string("nul\0here", 8), "nul here"},
      {"\r\n", " "},
      {"plain", "plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(TOperationLog::CleanField(c.in), c.out) << "for " << c.in;

  log.WriteLogRecord(false, true, "x\t@evil.example", "Hi\r\n1 forged@example.org\tx\tSent successfully",
                     "550 no\r\nsuch user\there");
  const auto line = log.Lines().at(0);
  EXPECT_EQ(line,
            "0 x @evil.example\tHi 1 forged@example.org x Sent successfully\t550 no such user here\t"
            "12/10/26 13:05:09");
  EXPECT_EQ(Split(line, '\t').size(), 4u) << line;
}

// A subject that once carried a line break must not come back from the file
// as a second (forged) record.
TEST_F(OperationLogTest, SubjectCannotForgeARecordInTheFile) {
  const std::string path = folder.File("postwick.log");
  log.WriteLogRecord(false, true, "a@example.org", "Hi\r\n1 boss@example.org\tOK\tSent successfully\t", "x");
  ASSERT_TRUE(log.SaveIfDirty(path));
  TOperationLog reloaded;
  reloaded.Load(path);
  EXPECT_EQ(reloaded.Lines().size(), 1u);
}

TEST_F(OperationLogTest, TrimsTheOldestLineFromIndex999On) {
  struct Case {
    int loaded;
    std::size_t afterOneAppend;
    bool oldestRemoved;
  };
  const Case cases[] = {{0, 1, false}, {998, 999, false}, {999, 999, true}, {1500, 1500, true}};
  for (const auto& c : cases) {
    const std::string path = folder.File("trim" + std::to_string(c.loaded) + ".log");
    TempFolder::Write(path, NumberedLines(c.loaded));
    TOperationLog trimmed;
    trimmed.Load(path);
    ASSERT_EQ(trimmed.Lines().size(), static_cast<std::size_t>(c.loaded));
    trimmed.WriteLogRecord(true, true, "a@b", "s", "Sent successfully");
    const auto lines = trimmed.Lines();
    EXPECT_EQ(lines.size(), c.afterOneAppend) << "loaded " << c.loaded;
    if (c.loaded > 0) {
      EXPECT_EQ(lines.front() != "old 0", c.oldestRemoved) << "loaded " << c.loaded;
    }
    EXPECT_EQ(lines.back().rfind("1 a@b\t", 0), 0u);
  }
}

TEST_F(OperationLogTest, ListStaysAt999AndALoadedLongerListKeepsItsLength) {
  for (int i = 0; i < 1200; ++i) log.WriteLogRecord(true, true, "r" + std::to_string(i) + "@b", "s", "ok");
  auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 999u);
  EXPECT_EQ(lines.front().rfind("1 r201@b\t", 0), 0u) << lines.front();

  const std::string path = folder.File("long.log");
  TempFolder::Write(path, NumberedLines(1500));
  TOperationLog loaded;
  loaded.Load(path);
  for (int i = 0; i < 600; ++i) loaded.WriteLogRecord(true, true, "a@b", "s", "ok");
  lines = loaded.Lines();
  EXPECT_EQ(lines.size(), 1500u);
  EXPECT_EQ(lines.front(), "old 600");
}

TEST_F(OperationLogTest, DomainIsTheSecondAtSeparatedWordInLowerCase) {
  const std::pair<std::string, std::string> cases[] = {
      {"ann@Example.ORG", "example.org"},
      {"ann@@example.org", "example.org"},
      {"@@ann@example.org", "example.org"},
      {"ann@example.org@other", "example.org"},
      {"no-at-sign", ""},
      {"ann@", ""},
      {"", ""},
  };
  for (const auto& [recipient, domain] : cases)
    EXPECT_EQ(TOperationLog::DomainOf(recipient), domain) << recipient;
}

TEST_F(OperationLogTest, TwentyOneDistinctFailingDomainsWarnOnce) {
  for (int i = 1; i <= 20; ++i) Fail("user@d" + std::to_string(i) + ".example");
  EXPECT_EQ(warnings, 0);
  EXPECT_EQ(log.FailingDomainCount(), 20u);
  Fail("user@d21.example");
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(log.FailingDomainCount(), 0u);
}

TEST_F(OperationLogTest, RepeatedAndCaseFoldedDomainsCountOnce) {
  for (int i = 0; i < 40; ++i) Fail("user" + std::to_string(i) + "@one.example");
  EXPECT_EQ(log.FailingDomainCount(), 1u);
  Fail("a@Two.Example");
  Fail("b@TWO.example");
  EXPECT_EQ(log.FailingDomainCount(), 2u);
  EXPECT_EQ(warnings, 0);
}

TEST_F(OperationLogTest, LookupFailuresNeitherAddNorClearAndSuccessClears) {
  for (int i = 0; i < 5; ++i) Fail("u@d" + std::to_string(i) + ".example");
  for (int i = 0; i < 30; ++i) Fail("u@unresolved" + std::to_string(i) + ".example", false);
  EXPECT_EQ(log.FailingDomainCount(), 5u);
  log.WriteLogRecord(true, true, "u@fine.example", "s", "Sent successfully");
  EXPECT_EQ(log.FailingDomainCount(), 0u);
  // After a success, 21 new domains are needed again.
  for (int i = 0; i < 20; ++i) Fail("u@e" + std::to_string(i) + ".example");
  EXPECT_EQ(warnings, 0);
}

TEST_F(OperationLogTest, ChangedAndDirtyFlags) {
  EXPECT_FALSE(log.TakeChanged());
  EXPECT_FALSE(log.Dirty());
  log.WriteLogRecord(true, true, "a@b", "s", "ok");
  EXPECT_TRUE(log.Dirty());
  EXPECT_TRUE(log.TakeChanged());
  EXPECT_FALSE(log.TakeChanged());
  ASSERT_TRUE(log.SaveIfDirty(folder.File("f.log")));
  EXPECT_FALSE(log.Dirty());
  log.Clear();
  EXPECT_TRUE(log.Dirty());
  EXPECT_TRUE(log.Lines().empty());
}

TEST_F(OperationLogTest, SaveWritesEveryLineWithCrLfAndLoadAcceptsAnyLineEnd) {
  const std::string path = folder.File("postwick.log");
  TempFolder::Write(path, "one\rtwo\nthree\r\nfour");
  log.Load(path);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"one", "two", "three", "four"}));
  log.WriteLogRecord(true, true, "a@b", "s", "ok");
  ASSERT_TRUE(log.SaveIfDirty(path));
  EXPECT_EQ(TempFolder::Read(path), "one\r\ntwo\r\nthree\r\nfour\r\n1 a@b\ts\tok\t12/10/26 13:05:09\r\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(OperationLogTest, NothingWrittenLeavesTheFileUntouched) {
  const std::string path = folder.File("postwick.log");
  TempFolder::Write(path, "kept\n");
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  log.Load(path);
  EXPECT_TRUE(log.SaveIfDirty(path));
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(TempFolder::Read(path), "kept\n");

  // A missing log that stays empty is not created either.
  TOperationLog fresh;
  fresh.Load(folder.File("missing.log"));
  EXPECT_TRUE(fresh.Lines().empty());
  EXPECT_TRUE(fresh.SaveIfDirty(folder.File("missing.log")));
  EXPECT_FALSE(std::filesystem::exists(folder.File("missing.log")));
}

TEST_F(OperationLogTest, ClearingAndSavingLeavesAnEmptyFile) {
  const std::string path = folder.File("postwick.log");
  TempFolder::Write(path, "a\r\nb\r\n");
  log.Load(path);
  log.Clear();
  ASSERT_TRUE(log.SaveIfDirty(path));
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(TempFolder::Read(path), "");
}

// A failed save (here: the temporary file cannot be created) keeps the old
// log whole and the records dirty, so the next save still writes them.
TEST_F(OperationLogTest, FailedSaveKeepsTheOldFileAndStaysDirty) {
  const std::string path = folder.File("postwick.log");
  TempFolder::Write(path, "old record\r\n");
  log.Load(path);
  log.WriteLogRecord(true, true, "a@b", "s", "ok");
  std::filesystem::create_directory(path + ".tmp");
  EXPECT_FALSE(log.SaveIfDirty(path));
  EXPECT_EQ(TempFolder::Read(path), "old record\r\n");
  EXPECT_TRUE(log.Dirty());

  std::filesystem::remove(path + ".tmp");
  EXPECT_TRUE(log.SaveIfDirty(path));
  EXPECT_FALSE(log.Dirty());
  EXPECT_EQ(TempFolder::Read(path), "old record\r\n1 a@b\ts\tok\t12/10/26 13:05:09\r\n");
}

}  // namespace
