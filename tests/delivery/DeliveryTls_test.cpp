// Encryption end to end on loopback: which copies of a message go over TLS,
// the per-message memory of hosts whose TLS failed, and the records, counts
// and reports that follow.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "delivery/DeliveryEngine.h"
#include "log/OperationLog.h"
#include "support/RelayHarness.h"
#include "support/Timing.h"

using namespace testing_support;
using Lines = std::vector<std::string>;

namespace {

// The command words of every session of an exchanger ("EHLO", "STARTTLS", ...).
std::vector<Lines> Verbs(const FakeSmtpServer& fake) {
  EXPECT_TRUE(Eventually([&] { return fake.EndedSessionCount() == fake.SessionCount(); }));
  std::vector<Lines> sessions;
  for (const auto& session : fake.Sessions()) {
    Lines verbs;
    for (const auto& command : session.commands)
      verbs.push_back(command.substr(0, command.find_first_of(" :")));
    sessions.push_back(verbs);
  }
  return sessions;
}

// Each record's recipient and status.
std::vector<std::pair<std::string, std::string>> RecordsOf(const TOperationLog& log) {
  std::vector<std::pair<std::string, std::string>> records;
  for (const std::string& line : log.Lines()) {
    const auto space = line.find(' ');
    const auto tab1 = line.find('\t');
    const auto tab2 = line.find('\t', tab1 + 1);
    const auto tab3 = line.find('\t', tab2 + 1);
    records.emplace_back(line.substr(space + 1, tab1 - space - 1), line.substr(tab2 + 1, tab3 - tab2 - 1));
  }
  return records;
}

class DeliveryTlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    harness_.Relay().SetDeliveryHook([this](const DeliveredCopy& copy) {
      std::lock_guard lock(reportsLock_);
      reports_.push_back(DescribeCopy(copy));
    });
  }
  std::vector<std::pair<std::string, std::string>> Records() { return RecordsOf(harness_.Log()); }
  Lines Reports() {
    std::lock_guard lock(reportsLock_);
    return reports_;
  }

  RelayHarness harness_;
  std::mutex reportsLock_;
  Lines reports_;
};

const Lines kPlain = {"EHLO", "RSET", "MAIL", "RCPT", "DATA", ".", "QUIT"};
const Lines kEncrypted = {"EHLO", "STARTTLS", "EHLO", "RSET", "MAIL", "RCPT", "DATA", ".", "QUIT"};
const Lines kRefusedStartTls = {"EHLO", "STARTTLS", "QUIT"};

}  // namespace

TEST_F(DeliveryTlsTest, EachCopyGoesAsItsExchangerAllowsAndRecordsStayTheSame) {
  harness_.Dns().AddMx("a.test", {{10, "127.0.0.2"}});
  harness_.Dns().AddMx("b.test", {{10, "127.0.0.3"}});
  harness_.Dns().AddMx("c.test", {{10, "127.0.0.4"}});
  harness_.Exchanger(0).SetScript(OfferingTls());
  harness_.Exchanger(2).SetScript(
      OfferingTls({FakeSmtpRule::Answer("STARTTLS", {"454 TLS not available due to temporary reason"})}));

  SmtpSession session(harness_.RelayPort());
  EXPECT_EQ(session.Send(SimpleMail({"ann@a.test", "bob@b.test", "cat@c.test", "dan@c.test"})), "250 Ok");

  const std::vector<std::pair<std::string, std::string>> records = {{"ann@a.test", "Sent successfully"},
                                                                    {"bob@b.test", "Sent successfully"},
                                                                    {"cat@c.test", "Sent successfully"},
                                                                    {"dan@c.test", "Sent successfully"}};
  EXPECT_EQ(Records(), records);
  const Lines reports = {
      "ann@a.test via 127.0.0.2: TLS (TLSv1.3, certificate not verified: self-signed certificate)",
      "bob@b.test via 127.0.0.3: plain", "cat@c.test via 127.0.0.4: plain",
      "dan@c.test via 127.0.0.4: plain"};
  EXPECT_EQ(Reports(), reports);
  EXPECT_EQ(harness_.Relay().EncryptedCopies(), 1);
  EXPECT_EQ(harness_.Relay().PlainCopies(), 3);

  EXPECT_EQ(Verbs(harness_.Exchanger(0)), std::vector<Lines>{kEncrypted});
  EXPECT_EQ(Verbs(harness_.Exchanger(1)), std::vector<Lines>{kPlain});
  // The two copies for c.test start at once on connections of their own, so
  // both may ask before either learns of the refusal; each refusal costs one
  // reconnect, and a copy that starts after it does not ask again.
  const auto countOf = [](const std::vector<Lines>& sessions, const Lines& verbs) {
    return std::count(sessions.begin(), sessions.end(), verbs);
  };
  std::vector<Lines> atC = Verbs(harness_.Exchanger(2));
  EXPECT_EQ(countOf(atC, kPlain), 2) << ::testing::PrintToString(atC);
  EXPECT_GE(countOf(atC, kRefusedStartTls), 1);
  EXPECT_LE(countOf(atC, kRefusedStartTls), 2);
  EXPECT_EQ(atC.size(), static_cast<std::size_t>(countOf(atC, kPlain) + countOf(atC, kRefusedStartTls)));

  // The memory lasts one message: the next one asks again.
  const std::size_t before = atC.size();
  EXPECT_EQ(session.Send(SimpleMail({"eve@c.test"})), "250 Ok");
  atC = Verbs(harness_.Exchanger(2));
  ASSERT_EQ(atC.size(), before + 2);
  EXPECT_EQ(atC[before], kRefusedStartTls);
  EXPECT_EQ(atC[before + 1], kPlain);
}

// A copy whose lane needs a new connection to a host after its STARTTLS
// failed goes in plain text at once: the message's memory of the host holds
// for every connection that follows.
TEST_F(DeliveryTlsTest, ALaterConnectionOfTheMessageDoesNotAskAgain) {
  harness_.Dns().AddMx("c.test", {{10, "127.0.0.4"}});
  // The refusal comes late, so that the first connection of every lane has
  // asked by then: the one question the memory saves is dan's.
  FakeSmtpRule lateRefusal =
      FakeSmtpRule::Answer("STARTTLS", {"454 TLS not available due to temporary reason"});
  lateRefusal.delay = std::chrono::milliseconds(300);
  harness_.Exchanger(2).SetScript(
      OfferingTls({lateRefusal, FakeSmtpRule::Answer("RCPT", {"550 No such user here"}, "TO:<ann@c.test>")}));

  // Three lanes to the host; ann and dan share the first, and ann's refusal
  // gives dan a new connection.
  SmtpSession session(harness_.RelayPort());
  EXPECT_EQ(session.Send(SimpleMail({"ann@c.test", "bob@c.test", "cat@c.test", "dan@c.test"})),
            "550 Invalid recipient: ann@c.test");

  const std::vector<Lines> atC = Verbs(harness_.Exchanger(2));
  const auto refusals = std::count(atC.begin(), atC.end(), kRefusedStartTls);
  // Four connections in plain text (one per lane, and dan's new one), and a
  // refused STARTTLS before at most the first connection of each lane: never
  // before dan's.
  EXPECT_EQ(atC.size() - static_cast<std::size_t>(refusals), 4u) << ::testing::PrintToString(atC);
  EXPECT_GE(refusals, 1);
  EXPECT_LE(refusals, 3);
  EXPECT_EQ(harness_.Relay().EncryptedCopies(), 0);
  EXPECT_EQ(harness_.Relay().PlainCopies(), 3);
}

// A broken handshake is retried in plain text at the same host, not at the
// next exchanger, and the record is that of the plain attempt.
TEST_F(DeliveryTlsTest, BrokenHandshakeFallsBackToOnePlainDeliveryAtTheSameHost) {
  const struct {
    const char* name;
    FakeSmtpScript script;
    std::string status;
    int messagesAtFirst, messagesAtSecond;
  } cases[] = {
      {"garbage, then taken", OfferingTls({}, FakeTlsFault::Garbage), "Sent successfully", 1, 0},
      {"closed, then taken", OfferingTls({}, FakeTlsFault::Close), "Sent successfully", 1, 0},
      {"garbage, then refused in plain text: the next exchanger takes it",
       OfferingTls({FakeSmtpRule::Answer("RCPT", {"550 No such user here"})}, FakeTlsFault::Garbage),
       "Sent successfully", 0, 1},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    harness_.Log().Clear();
    const std::string domain = "d" + std::to_string(round++) + ".test";
    harness_.Dns().AddMx(domain, {{10, "127.0.0.2"}, {20, "127.0.0.3"}});
    harness_.Exchanger(0).SetScript(c.script);
    const int firstBefore = harness_.Exchanger(0).MessageCount();
    const int secondBefore = harness_.Exchanger(1).MessageCount();
    const int sessionsBefore = harness_.Exchanger(0).SessionCount();

    SmtpSession session(harness_.RelayPort());
    EXPECT_EQ(session.Send(SimpleMail({"x@" + domain})), "250 Ok");
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0].second, c.status);
    EXPECT_EQ(harness_.Exchanger(0).SessionCount() - sessionsBefore, 2);
    EXPECT_EQ(harness_.Exchanger(0).MessageCount() - firstBefore, c.messagesAtFirst);
    EXPECT_EQ(harness_.Exchanger(1).MessageCount() - secondBefore, c.messagesAtSecond);
    const auto verbs = Verbs(harness_.Exchanger(0));
    EXPECT_EQ(verbs[verbs.size() - 2], (Lines{"EHLO", "STARTTLS"}));
  }
  EXPECT_EQ(harness_.Relay().EncryptedCopies(), 0);
}
