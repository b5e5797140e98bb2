// Many mail program sessions relaying at once: every client gets its own
// correct reply, every recipient exactly one record and one count, and the
// connection threads all go away afterwards.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>

#include "delivery/MySMTPThread.h"
#include "log/OperationLog.h"
#include "support/RelayHarness.h"
#include "support/Timing.h"

using namespace testing_support;

TEST(DeliveryConcurrency, ManyClientsEachGetTheirOwnOutcome) {
  constexpr int kClients = 64;
  // Kept below the log's 999 records so that every record can be checked.
  constexpr int kMessages = 11;
  RelayHarness harness(2, FakeSmtpScript{{}, {}, /*record=*/false});
  harness.Dns().AddMx("ok.test", {{10, "127.0.0.2"}, {20, "127.0.0.3"}});
  harness.Dns().AddRcode("bad.test", 3);

  // Every third message also goes to a recipient whose domain does not
  // exist; its reply must name exactly that recipient.
  std::vector<std::vector<std::string>> wrongReplies(kClients);
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      SmtpSession session(harness.RelayPort());
      for (int m = 0; m < kMessages; ++m) {
        const std::string id = "c" + std::to_string(c) + "m" + std::to_string(m);
        std::vector<std::string> rcpts = {id + "@ok.test"};
        std::string want = "250 Ok";
        if (m % 3 == 0) {
          rcpts.push_back(id + "@bad.test");
          want = "550 Invalid recipient: " + id + "@bad.test";
        }
        const std::string reply = session.Send(SimpleMail(rcpts, id));
        if (reply != want) wrongReplies[c].push_back(id + ": got \"" + reply + "\", want \"" + want + "\"");
      }
      session.Quit();
    });
  }
  for (auto& client : clients) client.join();

  for (const auto& wrong : wrongReplies)
    for (const auto& line : wrong) ADD_FAILURE() << line;

  const int failing = kClients * ((kMessages + 2) / 3);
  const int recipients = kClients * kMessages + failing;
  ASSERT_LT(recipients, 999);
  EXPECT_EQ(harness.Relay().SentCount(), kClients * kMessages);
  EXPECT_EQ(harness.Relay().FailedCount(), failing);
  EXPECT_EQ(harness.Exchanger(0).MessageCount(), kClients * kMessages);

  std::map<std::string, int> recordsPerRecipient;
  for (const auto& line : harness.Log().Lines()) ++recordsPerRecipient[line.substr(2, line.find('\t') - 2)];
  EXPECT_EQ(recordsPerRecipient.size(), static_cast<std::size_t>(recipients));
  for (const auto& [recipient, count] : recordsPerRecipient) EXPECT_EQ(count, 1) << recipient;

  EXPECT_TRUE(Eventually([&] { return harness.Relay().ActiveThreadCount() == 0; }))
      << harness.Relay().ActiveThreadCount() << " threads left";
}
