// Many connection threads writing records at once while the viewer reads and
// the controller saves: no record is lost or doubled, and the failure watch
// counts exactly.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "log/OperationLog.h"
#include "support/TempFolder.h"

using testing_support::TempFolder;

namespace {

constexpr int kWriters = 8;
constexpr int kRecordsEach = 100;  // 800 in all: below the 999-line trim

std::string RecipientOf(const std::string& line) {
  // "0 " recipient TAB ...
  return line.substr(2, line.find('\t') - 2);
}

TEST(OperationLogConcurrency, EveryRecordPresentExactlyOnce) {
  TempFolder folder;
  const std::string path = folder.File("postwick.log");
  TOperationLog log;
  std::atomic<int> warnings{0};
  log.SetSendErrorsHook([&] { warnings.fetch_add(1); });

  std::atomic<bool> writing{true};
  std::thread viewer([&] {
    while (writing.load()) {
      log.TakeChanged();
      EXPECT_LE(log.Lines().size(), static_cast<std::size_t>(kWriters * kRecordsEach));
    }
  });
  std::thread saver([&] {
    while (writing.load()) EXPECT_TRUE(log.SaveIfDirty(path));
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&log, w] {
      for (int i = 0; i < kRecordsEach; ++i) {
        // Every recipient has a domain of its own, and every MX query "completed".
        const std::string id = std::to_string(w) + "-" + std::to_string(i);
        log.WriteLogRecord(false, true, "user@d" + id + ".example", "subject " + id, "Connection failed");
      }
    });
  }
  for (auto& writer : writers) writer.join();
  writing.store(false);
  viewer.join();
  saver.join();

  std::map<std::string, int> seen;
  for (const auto& line : log.Lines()) ++seen[RecipientOf(line)];
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(kWriters * kRecordsEach));
  for (const auto& [recipient, count] : seen) EXPECT_EQ(count, 1) << recipient;

  // 800 distinct failing domains: a warning at every 21st, whatever the order.
  constexpr int kTotal = kWriters * kRecordsEach;
  EXPECT_EQ(warnings.load(), kTotal / 21);
  EXPECT_EQ(log.FailingDomainCount(), static_cast<std::size_t>(kTotal % 21));

  // The last periodic save may have raced with the last writes; one more save
  // must bring the file level with memory.
  ASSERT_TRUE(log.SaveIfDirty(path));
  EXPECT_FALSE(log.Dirty());
  TOperationLog reloaded;
  reloaded.Load(path);
  EXPECT_EQ(reloaded.Lines(), log.Lines());
}

}  // namespace
