// The relay end to end on loopback: a mail program's session, the MX query,
// the fake exchangers, the log records, the counters and the reply to DATA.
#include "delivery/DeliveryEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "delivery/MySMTPThread.h"
#include "log/OperationLog.h"
#include "support/RelayHarness.h"
#include "support/Timing.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

// One log record split into its fields.
struct Record {
  std::string outcome, recipient, subject, status;
};

std::vector<Record> RecordsOf(const TOperationLog& log) {
  std::vector<Record> records;
  for (const std::string& line : log.Lines()) {
    Record r;
    const auto space = line.find(' ');
    const auto tab1 = line.find('\t');
    const auto tab2 = line.find('\t', tab1 + 1);
    const auto tab3 = line.find('\t', tab2 + 1);
    r.outcome = line.substr(0, space);
    r.recipient = line.substr(space + 1, tab1 - space - 1);
    r.subject = line.substr(tab1 + 1, tab2 - tab1 - 1);
    r.status = line.substr(tab2 + 1, tab3 - tab2 - 1);
    records.push_back(r);
  }
  return records;
}

std::string Header(const FakeSmtpMessage& message, const std::string& name) {
  for (const auto& line : message.HeaderLines())
    if (line.rfind(name + ":", 0) == 0) return line.substr(name.size() + 2);
  return "<none>";
}

class DeliveryTest : public ::testing::Test {
 protected:
  int Sent() { return harness_.Relay().SentCount(); }
  int Failed() { return harness_.Relay().FailedCount(); }
  std::vector<Record> LogRecords() { return RecordsOf(harness_.Log()); }

  RelayHarness harness_;
};

}  // namespace

TEST_F(DeliveryTest, SecondOfThreeRecipientsFailsAndIsNamedInTheReply) {
  harness_.Dns().AddMx("a.test", {{10, "127.0.0.2"}});
  harness_.Dns().AddMx("b.test", {{10, "127.0.0.3"}});
  harness_.Exchanger(1).SetScript({{FakeSmtpRule::Answer("RCPT", {"550 No such user here"})}});

  SmtpSession session(harness_.RelayPort());
  const auto reply = session.Send(SimpleMail({"ann@a.test", "bob@b.test", "cat@a.test"}, "Quarterly"));
  EXPECT_EQ(reply, "550 Invalid recipient: bob@b.test");

  const auto records = LogRecords();
  ASSERT_EQ(records.size(), 3u);
  const Record want[] = {{"1", "ann@a.test", "Quarterly", "Sent successfully"},
                         {"0", "bob@b.test", "Quarterly", "No such user here "},
                         {"1", "cat@a.test", "Quarterly", "Sent successfully"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(records[i].outcome, want[i].outcome) << "record " << i;
    EXPECT_EQ(records[i].recipient, want[i].recipient) << "record " << i;
    EXPECT_EQ(records[i].subject, want[i].subject) << "record " << i;
    EXPECT_EQ(records[i].status, want[i].status) << "record " << i;
  }
  EXPECT_EQ(Sent(), 2);
  EXPECT_EQ(Failed(), 1);
  EXPECT_EQ(harness_.Exchanger(0).MessageCount(), 2);
}

TEST_F(DeliveryTest, AllDeliveredGivesTheNormalReplyAndTheSessionGoesOn) {
  harness_.Dns().AddMx("a.test", {{10, "127.0.0.2"}});
  SmtpSession session(harness_.RelayPort());
  EXPECT_EQ(session.Send(SimpleMail({"ann@a.test"})), "250 Ok");
  EXPECT_EQ(session.Send(SimpleMail({"bob@a.test"})), "250 Ok");
  EXPECT_EQ(Sent(), 2);
  EXPECT_EQ(harness_.Exchanger(0).MessageCount(), 2);
}

// Where a recipient's copy goes, and what is logged, for each shape of DNS
// answer and exchanger behaviour.
TEST_F(DeliveryTest, HostSelection) {
  struct Case {
    const char* name;
    std::function<void(RelayHarness&)> arrange;
    std::string recipient;
    std::string status;  // "" for delivered
    int deliveredAt;     // exchanger index that took the message, -1 none
  } cases[] = {
      {"most preferred first, whatever the answer order",
       [](RelayHarness& h) {
         h.Dns().AddMx("pref.test", {{20, "127.0.0.3"}, {10, "127.0.0.2"}});
       },
       "x@pref.test", "", 0},
      {"equal preferences keep the answer order",
       [](RelayHarness& h) {
         h.Dns().AddMx("eq.test", {{10, "127.0.0.4"}, {10, "127.0.0.2"}});
       },
       "x@eq.test", "", 2},
      {"no MX: the domain itself is the host", [](RelayHarness& h) { h.Dns().AddSoaOnly("127.0.0.3"); },
       "x@127.0.0.3", "", 1},
      {"name error: nothing tried", [](RelayHarness& h) { h.Dns().AddRcode("gone.test", 3); }, "x@gone.test",
       "Could not resolve domain", -1},
      {"no domain in the address", [](RelayHarness&) {}, "nodomain", "Could not resolve domain", -1},
      {"loopback-only exchanger is skipped",
       [](RelayHarness& h) {
         h.Dns().AddMx("self.test", {{10, "127.0.0.1"}});
       },
       "x@self.test", "Unable to send", -1},
      {"refused on the first host, taken by the next",
       [](RelayHarness& h) {
         h.Dns().AddMx("two.test", {{10, "127.0.0.2"}, {20, "127.0.0.3"}});
         h.Exchanger(0).SetScript({{FakeSmtpRule::Answer("RCPT", {"550 Mailbox unavailable"})}});
       },
       "x@two.test", "", 1},
      {"refused everywhere: the last host's text",
       [](RelayHarness& h) {
         h.Dns().AddMx("no.test", {{10, "127.0.0.2"}, {20, "127.0.0.3"}});
         h.Exchanger(0).SetScript({{FakeSmtpRule::Answer("RCPT", {"550 First says no"})}});
         h.Exchanger(1).SetScript({{FakeSmtpRule::Answer("RCPT", {"550-Second says no", "550 really"})}});
       },
       "x@no.test", "Second says no really ", -1},
      {"greeting refused: connection failed",
       [](RelayHarness& h) {
         h.Dns().AddMx("busy.test", {{10, "127.0.0.2"}});
         h.Exchanger(0).SetScript({{FakeSmtpRule::Answer("CONNECT", {"554 Go away"})}});
       },
       "x@busy.test", "Connection failed", -1},
      {"exchanger closes during the transaction",
       [](RelayHarness& h) {
         h.Dns().AddMx("drop.test", {{10, "127.0.0.2"}});
         h.Exchanger(0).SetScript({{FakeSmtpRule::CloseOn("DATA")}});
       },
       "x@drop.test", "Connection failed", -1},
  };
  for (const auto& c : cases) {
    RelayHarness harness;
    c.arrange(harness);
    SmtpSession session(harness.RelayPort());
    const std::string reply = session.Send(SimpleMail({c.recipient}));
    const auto records = RecordsOf(harness.Log());
    ASSERT_EQ(records.size(), 1u) << c.name;
    EXPECT_EQ(records[0].status, c.status.empty() ? "Sent successfully" : c.status) << c.name;
    EXPECT_EQ(reply, c.status.empty() ? "250 Ok" : "550 Invalid recipient: " + c.recipient) << c.name;
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(harness.Exchanger(i).MessageCount(), i == c.deliveredAt ? 1 : 0)
          << c.name << ", exchanger " << i;
  }
}

TEST_F(DeliveryTest, RefusingHostIsLeftWithQuit) {
  harness_.Dns().AddMx("two.test", {{10, "127.0.0.2"}, {20, "127.0.0.3"}});
  harness_.Exchanger(0).SetScript({{FakeSmtpRule::Answer("RCPT", {"550 Mailbox unavailable"})}});
  SmtpSession session(harness_.RelayPort());
  EXPECT_EQ(session.Send(SimpleMail({"x@two.test"})), "250 Ok");
  ASSERT_TRUE(Eventually([&] { return harness_.Exchanger(0).EndedSessionCount() == 1; }));
  const auto commands = harness_.Exchanger(0).Sessions().at(0).commands;
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.back(), "QUIT");
}

TEST_F(DeliveryTest, EmptyDnsServerFailsEveryRecipient) {
  harness_.Relay().SetActiveDnsServer("");
  SmtpSession session(harness_.RelayPort());
  EXPECT_EQ(session.Send(SimpleMail({"a@a.test", "b@b.test"})), "550 Invalid recipient: a@a.test, b@b.test");
  for (const auto& r : LogRecords()) EXPECT_EQ(r.status, "Could not resolve domain");
  EXPECT_EQ(Failed(), 2);
}

TEST_F(DeliveryTest, MessageWithoutFromIsRefusedWithoutReplyOrRecord) {
  harness_.Dns().AddMx("a.test", {{10, "127.0.0.2"}});
  MailToSend mail = SimpleMail({"ann@a.test"});
  mail.lines.erase(mail.lines.begin());  // the From line
  SmtpSession session(harness_.RelayPort());
  EXPECT_EQ(session.Send(mail), "");
  EXPECT_TRUE(LogRecords().empty());
  EXPECT_EQ(Sent() + Failed(), 0);
  EXPECT_EQ(harness_.Exchanger(0).SessionCount(), 0);
}

TEST_F(DeliveryTest, EachCopyNamesItsOwnRecipientOnly) {
  harness_.Dns().AddMx("a.test", {{10, "127.0.0.2"}});
  MailToSend mail;
  mail.rcptTo = {"two@a.test", "hidden@a.test"};
  mail.lines = {"Received: from client.test by relay.test",
                "From: Sender <sender@home.test>",
                "To: one@a.test, Two Person <two@a.test>",
                "Cc: three@a.test",
                "Bcc: hidden@a.test",
                "Message-ID: <m1@home.test>",
                "Subject: Team",
                "",
                "Body"};
  SmtpSession session(harness_.RelayPort());
  ASSERT_EQ(session.Send(mail), "250 Ok");
  const auto messages = harness_.Exchanger(0).Messages();
  ASSERT_EQ(messages.size(), 2u);
  const std::pair<std::string, std::string> want[] = {{"two@a.test", "two@a.test"},
                                                      {"hidden@a.test", "hidden@a.test"}};
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(messages[i].rcptTo, std::vector<std::string>{want[i].first});
    EXPECT_EQ(Header(messages[i], "To"), want[i].second);
    EXPECT_EQ(Header(messages[i], "Cc"), "<none>");
    EXPECT_EQ(Header(messages[i], "Bcc"), "<none>");
    EXPECT_EQ(Header(messages[i], "Message-ID"), "<m1@home.test>");
    EXPECT_EQ(messages[i].HeaderLines().front(), "Received: from client.test by relay.test");
    EXPECT_EQ(messages[i].mailFrom, "sender@home.test");
  }
}

TEST_F(DeliveryTest, ExitDuringADeliveryEndsItAtTheNextRecipient) {
  harness_.Dns().AddMx("slow.test", {{10, "127.0.0.2"}});
  FakeSmtpRule slowData = FakeSmtpRule::Answer(".", {"250 Taken"});
  slowData.delay = 20s;
  harness_.Exchanger(0).SetScript({{slowData}});
  auto reply = std::async(std::launch::async, [&] {
    SmtpSession session(harness_.RelayPort());
    return session.Send(SimpleMail({"one@slow.test", "two@slow.test"}));
  });
  ASSERT_TRUE(Eventually([&] { return harness_.Exchanger(0).SessionCount() == 1; }));
  std::this_thread::sleep_for(100ms);  // into the text of the first copy
  const auto start = std::chrono::steady_clock::now();
  harness_.Relay().Shutdown();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
  EXPECT_EQ(reply.get(), "");  // refused: no reply, the connection closes
  const auto records = LogRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].recipient, "one@slow.test");
  EXPECT_EQ(records[0].status, "Connection failed");
  EXPECT_TRUE(Eventually([&] { return harness_.Relay().ActiveThreadCount() == 0; }));
}

TEST(IsLoopbackHost, OnlyTheFirstAddressBeing127001Counts) {
  EXPECT_TRUE(IsLoopbackHost("127.0.0.1"));
  EXPECT_TRUE(IsLoopbackHost("localhost"));
  EXPECT_FALSE(IsLoopbackHost("127.0.0.2"));
  // A name the resolver refuses without asking any server (an empty label):
  // a name it would look up would send a query off this machine.
  EXPECT_FALSE(IsLoopbackHost("no-such-host..test"));
  EXPECT_FALSE(IsLoopbackHost(""));
}
