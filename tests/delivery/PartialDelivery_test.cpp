// The relay tells its owner about a message that reached some recipients but
// not all, naming the failed ones; a message that reached all or none is not
// reported.
#include <gtest/gtest.h>

#include <mutex>

#include "delivery/RelayServer.h"
#include "support/RelayHarness.h"

using namespace testing_support;

TEST(PartialDeliveryTest, OnlyAMessageWithBothOutcomesIsReportedWithItsFailedRecipients) {
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
