// The relay end to end on loopback: a mail program's session, the MX query,
// the fake exchangers, the log records, the counters and the reply to DATA.
#include "delivery/DeliveryEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "log/OperationLog.h"
#include "support/LogRecords.h"
#include "support/RelayHarness.h"
#include "support/SmtpWireClient.h"
#include "support/Timing.h"

using namespace testing_support;

namespace {

std::string Header(const FakeSmtpMessage& message, const std::string& name) {
  for (const auto& line : message.HeaderLines())
    if (line.rfind(name + ":", 0) == 0) return line.substr(name.size() + 2);
  return "<none>";
}

class DeliveryTest : public ::testing::Test {
 protected:
  int Sent() { return harness_.Relay().SentCount(); }
  int Failed() { return harness_.Relay().FailedCount(); }
  std::vector<LogRecord> LogRecords() { return RecordsOf(harness_.Log()); }

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
  const LogRecord want[] = {{"1", "ann@a.test", "Quarterly", "Sent successfully"},
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
      {"exchanger resets during the text",
       [](RelayHarness& h) {
         h.Dns().AddMx("reset.test", {{10, "127.0.0.2"}});
         h.Exchanger(0).SetScript({{FakeSmtpRule::AnswerThenReset("DATA", {"354 Go ahead"})}});
       },
       "x@reset.test", "Connection failed", -1},
      {"exchanger 0.0.0.0 is this machine: skipped",
       [](RelayHarness& h) {
         h.Dns().AddMx("zero.test", {{10, "0.0.0.0"}});
       },
       "x@zero.test", "Unable to send", -1},
      {"any exchanger in 0.0.0.0/8 is skipped, the next one is tried",
       [](RelayHarness& h) {
         h.Dns().AddMx("zero8.test", {{10, "0.1.2.3"}, {20, "127.0.0.3"}});
       },
       "x@zero8.test", "", 1},
      {"no MX, the domain is 0.0.0.0: skipped", [](RelayHarness& h) { h.Dns().AddSoaOnly("0.0.0.0"); },
       "x@0.0.0.0", "Unable to send", -1},
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
  // The copies go out at once, so they may arrive in either order.
  auto messages = harness_.Exchanger(0).Messages();
  ASSERT_EQ(messages.size(), 2u);
  std::sort(messages.begin(), messages.end(),
            [](const FakeSmtpMessage& a, const FakeSmtpMessage& b) { return a.rcptTo > b.rcptTo; });
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

// A relay whose own address is an exchanger on the listener's port would
// deliver to itself, each copy opening another connection. The fake DNS
// answers with that address a few times only, so a relay without the guard
// runs a few rounds instead of running out of descriptors.
TEST_F(DeliveryTest, ExchangerThatIsThisRelayIsNeverTried) {
  RelayServer& relay = harness_.Relay();
  const uint16_t port = harness_.RelayPort();
  relay.Listener().SetActive(false);
  relay.Listener().Bindings = {{"127.0.0.1", port}, {"127.0.0.9", port}};
  relay.Listener().SetActive(true);
  relay.SetOutboundPort(port);
  relay.SetLocalOnly(false);
  std::atomic<int> answered{0};
  harness_.Dns().AddScript("loop.test", [&](const FakeDnsServer::Query& query) {
    const bool loop = ++answered <= 3;
    return std::vector<FakeDnsServer::Datagram>{
        {loop ? FakeDnsServer::MxAnswer(query, {{10, "127.0.0.9"}}) : FakeDnsServer::RcodeAnswer(query, 3)}};
  });
  SmtpSession session(port);
  EXPECT_EQ(session.Send(SimpleMail({"x@loop.test"})), "550 Invalid recipient: x@loop.test");
  EXPECT_EQ(harness_.Dns().QueryCount(), 1u);
  const auto records = LogRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].status, "Unable to send");
}

// Addresses go to the exchanger as the intake rendered them.
TEST_F(DeliveryTest, QuotedLocalPartStaysQuotedInTheEnvelope) {
  harness_.Dns().AddMx("a.test", {{10, "127.0.0.2"}});
  SmtpSession session(harness_.RelayPort());
  EXPECT_EQ(session.Send(SimpleMail({"\"john smith\"@a.test"})), "250 Ok");
  const auto messages = harness_.Exchanger(0).Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rcptTo, std::vector<std::string>{"\"john smith\"@a.test"});
}

// Every failed recipient is named, over as many lines of a multi-line reply
// as it takes, each line within 512 octets.
TEST_F(DeliveryTest, ManyFailedRecipientsAreAllNamedInRepliesOfBoundedLines) {
  harness_.Relay().SetActiveDnsServer("");  // every recipient fails at once
  SmtpWireClient client(harness_.RelayPort());
  client.ReadLine();
  client.Command("HELO client.test");
  client.Command("MAIL FROM:<sender@home.test>");
  std::vector<std::string> recipients;
  for (int i = 0; i < 400; ++i) {
    recipients.push_back("recipient-number-" + std::to_string(i) + "@failing-domain.test");
    client.Send("RCPT TO:<" + recipients.back() + ">");
  }
  for (int i = 0; i < 400; ++i) ASSERT_EQ(client.ReadLine().substr(0, 4), "250 ");
  ASSERT_EQ(client.Command("DATA").substr(0, 4), "354 ");
  client.SendRaw("From: <sender@home.test>\r\nSubject: many\r\n\r\nbody\r\n.\r\n");
  std::string joined;
  for (int n = 0; n < 1000; ++n) {
    const std::string line = client.ReadLine();
    EXPECT_LE(line.size() + 2, 512u) << line;
    ASSERT_GE(line.size(), 4u);
    EXPECT_EQ(line.substr(0, 3), "550");
    joined += line.substr(4) + " ";
    if (line[3] == ' ') break;
    ASSERT_EQ(line[3], '-');
  }
  EXPECT_EQ(joined.rfind("Invalid recipient: ", 0), 0u) << joined.substr(0, 80);
  for (std::size_t i = 0; i < recipients.size(); ++i) {
    const std::string named = " " + recipients[i] + (i + 1 < recipients.size() ? "," : " ");
    EXPECT_NE(joined.find(named), std::string::npos) << recipients[i];
  }
  EXPECT_EQ(Failed(), 400);
}

// 127.0.0.1 and every address of 0.0.0.0/8 (which reaches this machine) are
// loopback hosts; other loopback addresses are not. The unknown name is one
// the resolver refuses without asking any server (an empty label): a name it
// would look up would send a query off this machine.
TEST(IsLoopbackHost, FirstAddressIs127001OrIn0008) {
  const std::pair<const char*, bool> cases[] = {
      {"127.0.0.1", true},           {"localhost", true},  {"0.0.0.0", true},
      {"0.255.1.2", true},           {"127.0.0.2", false}, {"1.0.0.0", false},
      {"no-such-host..test", false}, {"", false}};
  for (const auto& [host, loopback] : cases) EXPECT_EQ(IsLoopbackHost(host), loopback) << host;
}
