// The relay's own figures: connection threads and their load, and counters
// that belong to one relay; the report of a message that reached some
// recipients but not all.
#include "delivery/RelayServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

#include "support/RelayHarness.h"
#include "support/SmtpWireClient.h"
#include "support/Timing.h"

using namespace testing_support;

namespace {

TEST(RelayServer, ThreadLoadIsPercentOfTheListenQueue) {
  const std::pair<int, int> cases[] = {{0, 0},    {1, 3},    {8, 25},    {16, 50}, {31, 96},
                                       {32, 100}, {40, 100}, {500, 100}, {-2, 0}};
  for (const auto& [threads, load] : cases) EXPECT_EQ(RelayServer::ThreadLoadOf(threads), load) << threads;
}

TEST(RelayServer, CountsItsOwnConnectionsAndDeliveries) {
  RelayHarness busy(1);
  RelayHarness idle(1);
  busy.Dns().AddMx("a.test", {{10, "127.0.0.2"}});
  {
    std::vector<std::unique_ptr<SmtpWireClient>> clients;
    for (int i = 0; i < 2; ++i) {
      clients.push_back(std::make_unique<SmtpWireClient>(busy.RelayPort()));
      clients.back()->ReadLine();  // greeted: its thread runs
    }
    EXPECT_EQ(busy.Relay().ActiveThreadCount(), 2);
    EXPECT_EQ(busy.Relay().ThreadLoad(), 6);
    SmtpSession session(busy.RelayPort());
    EXPECT_EQ(session.Send(SimpleMail({"ann@a.test", "nodomain"})), "550 Invalid recipient: nodomain");
    session.Quit();
  }
  EXPECT_TRUE(Eventually([&] { return busy.Relay().ActiveThreadCount() == 0; }));
  EXPECT_EQ(busy.Relay().SentCount(), 1);
  EXPECT_EQ(busy.Relay().FailedCount(), 1);
  EXPECT_EQ(idle.Relay().SentCount() + idle.Relay().FailedCount() + idle.Relay().ActiveThreadCount(), 0);
  EXPECT_TRUE(idle.Log().Lines().empty());
  EXPECT_EQ(busy.Log().Lines().size(), 2u);

  busy.Relay().ZeroSentCount();
  EXPECT_EQ(busy.Relay().SentCount(), 0);
  EXPECT_EQ(busy.Relay().FailedCount(), 1);
  busy.Relay().ZeroFailedCount();
  EXPECT_EQ(busy.Relay().FailedCount(), 0);
}

// A message that reached all or none of its recipients is not reported.
TEST(RelayServer, PartialDeliveryHookGetsOnlyAMessageWithBothOutcomesAndItsFailedRecipients) {
  RelayHarness harness;
  harness.Dns().AddMx("a.test", {{10, "127.0.0.2"}});
  harness.Dns().AddMx("b.test", {{10, "127.0.0.3"}});
  harness.Exchanger(1).SetScript({{FakeSmtpRule::Answer("RCPT", {"550 No such user here"})}});
  std::mutex lock;
  std::vector<DeliveryReport> reports;
  harness.Relay().SetPartialDeliveryHook([&](const DeliveryReport& report) {
    std::lock_guard guard(lock);
    reports.push_back(report);
  });

  SmtpSession session(harness.RelayPort());
  EXPECT_EQ(session.Send(SimpleMail({"ann@a.test", "bob@b.test", "cat@a.test", "dan@b.test"}, "Minutes")),
            "550 Invalid recipient: bob@b.test, dan@b.test");
  EXPECT_EQ(session.Send(SimpleMail({"ann@a.test", "cat@a.test"})), "250 Ok");
  EXPECT_EQ(session.Send(SimpleMail({"bob@b.test"})), "550 Invalid recipient: bob@b.test");
  session.Quit();

  std::lock_guard guard(lock);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].subject, "Minutes");
  EXPECT_EQ(reports[0].delivered, 2);
  EXPECT_EQ(reports[0].failed, (std::vector<std::string>{"bob@b.test", "dan@b.test"}));
}

}  // namespace
