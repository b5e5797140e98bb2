// STARTTLS in the outbound client against the fake exchanger over loopback:
// encryption where it is offered, the certificate check that is recorded but
// not required, and the single plain-text retry when TLS cannot be had.
#include <gtest/gtest.h>

#include <chrono>

#include "delivery/IdSMTP.h"
#include "platform/Failure.h"
#include "support/FakeSmtpServer.h"
#include "support/SmtpClientFixture.h"
#include "support/TestCertificate.h"
#include "support/Timing.h"

using namespace std::chrono_literals;
using namespace testing_support;
using Lines = std::vector<std::string>;

namespace {

TIdMessage Message() {
  TIdMessage m;
  m.Headers.Lines = {"Subject: Test"};
  m.From.Address = "sender@x.test";
  m.Recipients.Add().Address = "rcpt@y.test";
  m.Subject = "Test";
  m.Date = EncodeDateTime({2004, 12, 7, 10, 1, 2, 0});
  m.Body = {"Hello", ".hidden dot"};
  return m;
}

std::shared_ptr<const os::TlsContext> TrustingTheFakes() {
  static const auto context = os::TlsContext::Client(FakeExchangerCertificate().certificatePem);
  return context;
}

std::vector<Lines> Transcripts(const FakeSmtpServer& fake) {
  EXPECT_TRUE(Eventually([&] { return fake.EndedSessionCount() == fake.SessionCount(); }));
  std::vector<Lines> transcripts;
  for (const auto& session : fake.Sessions()) transcripts.push_back(session.commands);
  return transcripts;
}

void Deliver(TIdSMTP& smtp, TIdMessage& message) {
  smtp.Connect(2000);
  smtp.Send(message);
  smtp.Disconnect();
}

const Lines kPlainSession = {
    "EHLO me.test", "RSET", "MAIL FROM:<sender@x.test>", "RCPT TO:<rcpt@y.test>", "DATA", ".", "QUIT"};

}  // namespace

TEST(IdSMTPTls, CopyGoesEncryptedWhereOfferedAndWholeAsWritten) {
  FakeSmtpServer fake("127.0.0.2", OfferingTls());
  TIdSMTP smtp;
  Aim(smtp, fake);
  smtp.Tls = TrustingTheFakes();
  TIdMessage small = Message();
  // Larger than a TLS record and than the client's flush threshold, with
  // lines that need their dots doubled.
  TIdMessage large = Message();
  for (int i = 0; i < 20000; ++i) large.Body.push_back((i % 5 ? "line " : ".dot ") + std::to_string(i));

  smtp.Connect(2000);
  EXPECT_TRUE(smtp.TlsStatus().encrypted);
  smtp.Send(small);
  smtp.Send(large);
  smtp.Disconnect();

  const Lines expected = {"EHLO me.test",
                          "STARTTLS",
                          "EHLO me.test",
                          "RSET",
                          "MAIL FROM:<sender@x.test>",
                          "RCPT TO:<rcpt@y.test>",
                          "DATA",
                          ".",
                          "RSET",
                          "MAIL FROM:<sender@x.test>",
                          "RCPT TO:<rcpt@y.test>",
                          "DATA",
                          ".",
                          "QUIT"};
  EXPECT_EQ(Transcripts(fake), std::vector<Lines>{expected});
  const auto messages = fake.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[0].overTls);
  EXPECT_TRUE(messages[1].overTls);
  EXPECT_EQ(messages[0].BodyLines(), small.Body);
  EXPECT_EQ(messages[1].BodyLines(), large.Body);
  EXPECT_TRUE(fake.Sessions()[0].tls);
  // After TLS the client goes by the second EHLO reply, which offers no
  // STARTTLS any more.
  EXPECT_FALSE(smtp.Extensions.Has("STARTTLS"));
  EXPECT_EQ(smtp.TlsStatus().protocol, "TLSv1.3");
}

TEST(IdSMTPTls, PlainWhereNotOffered) {
  FakeSmtpServer fake("127.0.0.2");
  TIdSMTP smtp;
  Aim(smtp, fake);
  TIdMessage message = Message();
  Deliver(smtp, message);
  EXPECT_EQ(Transcripts(fake), std::vector<Lines>{kPlainSession});
  ASSERT_EQ(fake.MessageCount(), 1);
  EXPECT_FALSE(fake.Messages()[0].overTls);
  EXPECT_FALSE(smtp.TlsStatus().encrypted);
}

// The check is made and kept, but a certificate that fails it still carries
// the message encrypted.
TEST(IdSMTPTls, CertificateIsCheckedButNotRequired) {
  const struct {
    const char* name;
    const char* ip;
    bool trusting;
    bool verified;
    std::string verifyResult;
  } cases[] = {
      {"trusted and for this address", "127.0.0.2", true, true, "ok"},
      {"self-signed, not trusted", "127.0.0.2", false, false, "self-signed certificate"},
      {"trusted but for other addresses", "127.0.0.1", true, false, "IP address mismatch"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSmtpServer fake(c.ip, OfferingTls());
    TIdSMTP smtp;
    Aim(smtp, fake);
    if (c.trusting) smtp.Tls = TrustingTheFakes();
    TIdMessage message = Message();
    Deliver(smtp, message);
    EXPECT_TRUE(smtp.TlsStatus().encrypted);
    EXPECT_EQ(smtp.TlsStatus().certificateVerified, c.verified);
    EXPECT_EQ(smtp.TlsStatus().verifyResult, c.verifyResult);
    ASSERT_EQ(fake.MessageCount(), 1);
    EXPECT_TRUE(fake.Messages()[0].overTls);
  }
}

// Whatever stops TLS between the STARTTLS command and the end of the
// handshake, the client reconnects once and delivers in plain text, and the
// host is noted as without TLS for the rest of the message.
TEST(IdSMTPTls, FailedStartTlsFallsBackToOnePlainDelivery) {
  const struct {
    const char* name;
    FakeSmtpScript script;
    Lines firstSession;
  } cases[] = {
      {"454 to STARTTLS",
       OfferingTls({FakeSmtpRule::Answer("STARTTLS", {"454 TLS not available due to temporary reason"})}),
       {"EHLO me.test", "STARTTLS", "QUIT"}},
      {"554 to STARTTLS",
       OfferingTls({FakeSmtpRule::Answer("STARTTLS", {"554 No TLS for you"})}),
       {"EHLO me.test", "STARTTLS", "QUIT"}},
      {"connection closed in reply to STARTTLS",
       OfferingTls({FakeSmtpRule::CloseOn("STARTTLS")}),
       {"EHLO me.test", "STARTTLS"}},
      {"plain text instead of a handshake",
       OfferingTls({}, FakeTlsFault::Garbage),
       {"EHLO me.test", "STARTTLS"}},
      {"connection closed instead of a handshake",
       OfferingTls({}, FakeTlsFault::Close),
       {"EHLO me.test", "STARTTLS"}},
      // A line slipped in behind the 220 before encryption must not be read
      // as if it came through TLS.
      {"plain text behind the 220",
       OfferingTls({FakeSmtpRule::Answer("STARTTLS", {"220 Go ahead", "250 injected"})}),
       {"EHLO me.test", "STARTTLS"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSmtpServer fake("127.0.0.2", c.script);
    TIdSMTP smtp;
    Aim(smtp, fake);
    smtp.HostsWithoutTls = std::make_shared<HostSet>();
    TIdMessage message = Message();
    Deliver(smtp, message);

    EXPECT_EQ(Transcripts(fake), (std::vector<Lines>{c.firstSession, kPlainSession}));
    ASSERT_EQ(fake.MessageCount(), 1);
    EXPECT_FALSE(fake.Messages()[0].overTls);
    EXPECT_EQ(fake.Messages()[0].BodyLines(), message.Body);
    EXPECT_FALSE(smtp.TlsStatus().encrypted);
    EXPECT_EQ(smtp.HostsWithoutTls->Hosts(), std::set<std::string>{"127.0.0.2"});

    // The next copy of the same message goes plain at once.
    Deliver(smtp, message);
    EXPECT_EQ(fake.SessionCount(), 3);
    EXPECT_EQ(Transcripts(fake).back(), kPlainSession);
  }
}

TEST(IdSMTPTls, StalledHandshakeEndsAtTheReadTimeout) {
  FakeSmtpServer fake("127.0.0.2", OfferingTls({}, FakeTlsFault::Stall));
  TIdSMTP smtp;
  Aim(smtp, fake, 400);
  TIdMessage message = Message();
  const auto start = std::chrono::steady_clock::now();
  smtp.Connect(2000);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 350ms);
  EXPECT_LT(took, 2s);
  smtp.Send(message);
  smtp.Disconnect();
  EXPECT_EQ(Transcripts(fake), (std::vector<Lines>{{"EHLO me.test", "STARTTLS"}, kPlainSession}));
  EXPECT_EQ(fake.MessageCount(), 1);
}

// A failure after TLS is up is an ordinary failure of this host: no plain
// retry, and the status is the refusing reply as without TLS.
TEST(IdSMTPTls, RefusalsOverTlsAreOrdinaryFailures) {
  FakeSmtpServer fake("127.0.0.2", OfferingTls({FakeSmtpRule::Answer("RCPT", {"550 No such user"})}));
  TIdSMTP smtp;
  Aim(smtp, fake);
  smtp.Connect(2000);
  TIdMessage message = Message();
  try {
    smtp.Send(message);
    ADD_FAILURE() << "the refusal was not raised";
  } catch (const EFailure& failure) {
    EXPECT_STREQ(failure.what(), "No such user\r\n");
  }
  smtp.Disconnect();
  EXPECT_EQ(fake.SessionCount(), 1);
  EXPECT_TRUE(fake.Sessions()[0].tls);
}
