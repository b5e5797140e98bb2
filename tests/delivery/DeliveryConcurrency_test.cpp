// Deliveries at once: many mail program sessions relaying together, and the
// copies of one message going out to several exchangers together. Every
// client gets its own correct reply, every recipient exactly one record and
// one count in envelope order, the bounds on connections hold, and exit
// stops everything in flight.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "delivery/MySMTPThread.h"
#include "log/OperationLog.h"
#include "support/LogRecords.h"
#include "support/RelayHarness.h"
#include "support/Timing.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

std::string Ip(int n) { return "127.0.0." + std::to_string(n); }

// Recipients r0@d0.test, r0@d1.test, ..., r1@d0.test, ...: the domains take
// turns in the envelope.
std::vector<std::string> Interleaved(int domains, int perDomain) {
  std::vector<std::string> recipients;
  for (int r = 0; r < perDomain; ++r)
    for (int d = 0; d < domains; ++d)
      recipients.push_back("r" + std::to_string(r) + "@d" + std::to_string(d) + ".test");
  return recipients;
}

// A script whose exchanger holds the reply to every copy's text for `hold`
// and counts its open transactions in `all` too.
FakeSmtpScript Holding(std::chrono::milliseconds hold, std::shared_ptr<ConcurrencyGauge> all) {
  FakeSmtpRule slowText = FakeSmtpRule::Answer(".", {"250 Taken"});
  slowText.delay = hold;
  FakeSmtpScript script{{slowText}};
  script.pipelining = true;
  script.sharedTransactions = std::move(all);
  return script;
}

}  // namespace

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

// Sixty recipients over twelve domains, each at an exchanger of its own that
// holds every copy a while: the copies overlap, never more than three at
// once at one exchanger nor more than 32 in all; the copies for one
// exchanger share its three connections; one MX query per domain; the
// records come in envelope order.
TEST(DeliveryConcurrency, CopiesOfOneMessageOverlapWithinTheBounds) {
  constexpr int kDomains = 12;
  constexpr int kPerDomain = 5;
  auto all = std::make_shared<ConcurrencyGauge>();
  RelayHarness harness(kDomains, Holding(300ms, all));
  for (int d = 0; d < kDomains; ++d)
    harness.Dns().AddMx("d" + std::to_string(d) + ".test", {{10, Ip(2 + d)}});
  const std::vector<std::string> recipients = Interleaved(kDomains, kPerDomain);

  SmtpSession session(harness.RelayPort());
  EXPECT_EQ(session.Send(SimpleMail(recipients)), "250 Ok");

  EXPECT_LE(all->Most(), 32) << "more copies in flight at once than the bound";
  EXPECT_GT(all->Most(), 3) << "the exchangers never saw copies at the same time";
  for (int d = 0; d < kDomains; ++d) {
    SCOPED_TRACE("exchanger " + Ip(2 + d));
    const FakeSmtpServer& exchanger = harness.Exchanger(d);
    EXPECT_LE(exchanger.Transactions().Most(), 3) << "more connections at once than the bound";
    EXPECT_GE(exchanger.Transactions().Most(), 2) << "the copies for one exchanger went one at a time";
    EXPECT_EQ(exchanger.MessageCount(), kPerDomain);
    EXPECT_EQ(exchanger.SessionCount(), 3) << "the copies did not share the connections";
  }
  EXPECT_EQ(harness.Dns().QueryCount(), static_cast<std::size_t>(kDomains));
  const auto records = RecordsOf(harness.Log());
  ASSERT_EQ(records.size(), recipients.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].recipient, recipients[i]) << "record " << i;
    EXPECT_EQ(records[i].status, "Sent successfully") << "record " << i;
  }
  EXPECT_EQ(harness.Relay().SentCount(), kDomains * kPerDomain);
}

// Every kind of outcome in one message, delivered at once: the records,
// counters and reply are those of one-by-one delivery, in envelope order.
// A refused copy does not change the next one's outcome on the same
// exchanger, and an exchanger that ends its session after each copy still
// gets every copy.
TEST(DeliveryConcurrency, MixedOutcomesAreThoseOfOneByOneDeliveryInEnvelopeOrder) {
  RelayHarness harness(5);
  FakeSmtpScript refusesOne{{FakeSmtpRule::Answer("RCPT", {"550 No such user here"}, "nouser")}};
  refusesOne.pipelining = true;
  harness.Exchanger(0).SetScript(refusesOne);
  harness.Exchanger(1).SetScript({{FakeSmtpRule::CloseOn("DATA")}});
  FakeSmtpScript busy{{FakeSmtpRule::Answer("MAIL", {"451 Try later"})}};
  busy.pipelining = true;
  harness.Exchanger(2).SetScript(busy);
  FakeSmtpScript oneCopyASession{{FakeSmtpRule::AnswerThenClose(".", {"250 Taken, goodbye"})}};
  oneCopyASession.pipelining = true;
  harness.Exchanger(4).SetScript(oneCopyASession);
  harness.Dns().AddMx("a.test", {{10, Ip(2)}});
  harness.Dns().AddMx("drop.test", {{10, Ip(3)}});
  harness.Dns().AddMx("fall.test", {{10, Ip(4)}, {20, Ip(5)}});
  harness.Dns().AddMx("b.test", {{10, Ip(5)}});
  harness.Dns().AddMx("once.test", {{10, Ip(6)}});
  harness.Dns().AddMx("down.test", {{10, Ip(40)}});  // nothing listens there
  harness.Dns().AddMx("self.test", {{10, "127.0.0.1"}});
  harness.Dns().AddRcode("gone.test", 3);

  const struct {
    std::string recipient;
    std::string status;  // "" for delivered
  } want[] = {
      {"ok1@a.test", ""},
      {"nouser@a.test", "No such user here "},
      {"o1@once.test", ""},
      {"x@gone.test", "Could not resolve domain"},
      {"ok2@a.test", ""},
      {"y@down.test", "Connection failed"},
      {"o2@once.test", ""},
      {"d@drop.test", "Connection failed"},
      {"z@self.test", "Unable to send"},
      {"f@fall.test", ""},
      {"ok3@a.test", ""},
      {"o3@once.test", ""},
      {"q@b.test", ""},
      {"ok4@a.test", ""},
      {"o4@once.test", ""},
  };
  std::vector<std::string> recipients;
  std::string failed;
  int sent = 0;
  for (const auto& w : want) {
    recipients.push_back(w.recipient);
    if (w.status.empty()) ++sent;
    if (!w.status.empty()) failed += (failed.empty() ? "" : ", ") + w.recipient;
  }

  SmtpSession session(harness.RelayPort());
  EXPECT_EQ(session.Send(SimpleMail(recipients)), "550 Invalid recipient: " + failed);

  const auto records = RecordsOf(harness.Log());
  ASSERT_EQ(records.size(), std::size(want));
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(want[i].recipient);
    EXPECT_EQ(records[i].recipient, want[i].recipient);
    EXPECT_EQ(records[i].status, want[i].status.empty() ? "Sent successfully" : want[i].status);
    EXPECT_EQ(records[i].outcome, want[i].status.empty() ? "1" : "0");
  }
  EXPECT_EQ(harness.Relay().SentCount(), sent);
  EXPECT_EQ(harness.Relay().FailedCount(), static_cast<int>(std::size(want)) - sent);
  EXPECT_EQ(harness.Exchanger(0).MessageCount(), 4);
  EXPECT_EQ(harness.Exchanger(2).MessageCount(), 0);
  EXPECT_EQ(harness.Exchanger(3).MessageCount(), 2);
  EXPECT_EQ(harness.Exchanger(4).MessageCount(), 4);
}

// Exit while a message to thirty recipients is on its way: every copy in
// flight fails at once, no further exchanger, recipient or connection is
// tried, the copies that were in flight are logged in envelope order, and
// the relay stops within its limit.
TEST(DeliveryConcurrency, ExitInTheMiddleOfAMessageStopsEveryCopyInFlight) {
  auto all = std::make_shared<ConcurrencyGauge>();
  RelayHarness harness(4, Holding(20s, all));
  for (int d = 0; d < 3; ++d)
    harness.Dns().AddMx("d" + std::to_string(d) + ".test", {{10, Ip(2 + d)}, {20, Ip(5)}});
  const std::vector<std::string> recipients = Interleaved(3, 10);

  auto reply = std::async(std::launch::async, [&] {
    SmtpSession session(harness.RelayPort());
    return session.Send(SimpleMail(recipients));
  });
  // Three connections to each of the three exchangers, all in the text.
  ASSERT_TRUE(Eventually([&] { return all->Now() == 9; }, 10s)) << all->Now() << " copies in flight";
  std::this_thread::sleep_for(100ms);
  const auto start = std::chrono::steady_clock::now();
  harness.Relay().Shutdown();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
  EXPECT_EQ(reply.get(), "");  // refused: no reply, the connection closes
  EXPECT_TRUE(Eventually([&] { return harness.Relay().ActiveThreadCount() == 0; }));

  // The first three copies of each exchanger were in flight: the first
  // nine recipients of the envelope.
  const auto records = RecordsOf(harness.Log());
  ASSERT_EQ(records.size(), 9u);
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].recipient, recipients[i]) << "record " << i;
    EXPECT_EQ(records[i].status, "Connection failed") << "record " << i;
  }
  std::this_thread::sleep_for(200ms);
  int sessions = 0;
  for (int d = 0; d < 3; ++d) sessions += harness.Exchanger(d).SessionCount();
  EXPECT_EQ(sessions, 9) << "a connection was opened after exit";
  EXPECT_EQ(harness.Exchanger(3).SessionCount(), 0) << "a later exchanger was tried after exit";
  EXPECT_EQ(harness.Dns().QueryCount(), 3u);
  EXPECT_EQ(harness.Relay().SentCount() + harness.Relay().FailedCount(), 9);
}
