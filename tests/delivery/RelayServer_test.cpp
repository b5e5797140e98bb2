// The relay's own figures: connection threads and their load, and counters
// that belong to one relay.
#include "delivery/RelayServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/SmtpWireClient.h"
#include "support/Timing.h"
#include "support/RelayHarness.h"

using namespace testing_support;

namespace {

TEST(RelayServer, ThreadLoadIsPercentOfTheListenQueue) {
  const std::pair<int, int> cases[] = {{0, 0}, {1, 3}, {8, 25}, {16, 50}, {31, 96}, {32, 100}, {500, 100}};
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

}  // namespace
