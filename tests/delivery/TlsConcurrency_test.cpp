// TLS under threads: an abort from another thread ends a handshake at once
// and leaves no plain-text retry behind, and many clients share the TLS
// configuration while they encrypt at the same time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "delivery/DeliveryEngine.h"
#include "delivery/IdSMTP.h"
#include "delivery/MySMTPThread.h"
#include "log/OperationLog.h"
#include "platform/Failure.h"
#include "support/FakeSmtpServer.h"
#include "support/RelayHarness.h"
#include "support/SmtpClientFixture.h"
#include "support/TestCertificate.h"
#include "support/Timing.h"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

// True once `count` of the exchanger's sessions have said STARTTLS and
// their clients are inside the handshake.
bool InHandshake(const FakeSmtpServer& fake, std::size_t count = 1) {
  std::size_t inside = 0;
  for (const auto& session : fake.Sessions())
    inside += !session.commands.empty() && session.commands.back() == "STARTTLS";
  return inside >= count;
}

}  // namespace

TEST(TlsConcurrency, DisconnectSocketEndsAHandshakeAtOnceWithoutAPlainRetry) {
  FakeSmtpServer fake("127.0.0.2", OfferingTls({}, FakeTlsFault::Stall));
  TIdSMTP smtp;
  Aim(smtp, fake, 30000);
  smtp.HostsWithoutTls = std::make_shared<HostSet>();
  auto connecting = std::async(std::launch::async, [&] {
    try {
      smtp.Connect(5000);
    } catch (const EFailure& failure) {
      return std::string(failure.what());
    }
    return std::string("<none>");
  });
  ASSERT_TRUE(Eventually([&] { return InHandshake(fake); }));
  std::this_thread::sleep_for(50ms);  // let the client settle into its wait
  const auto start = std::chrono::steady_clock::now();
  smtp.DisconnectSocket();
  ASSERT_EQ(connecting.wait_for(5s), std::future_status::ready) << "the handshake did not end";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(connecting.get(), "Connection Closed Gracefully.");
  EXPECT_TRUE(smtp.ClosedGracefully());
  EXPECT_FALSE(smtp.Connected());
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(fake.SessionCount(), 1) << "an aborted handshake must not lead to a plain retry";
}

// Three copies go out at once, each on a connection of its own to the one
// host, and the fourth waits for the first lane: the exit ends all three
// handshakes, none is retried in plain text, and the fourth is never tried.
TEST(TlsConcurrency, ExitDuringAHandshakeEndsTheDeliveryAtOnce) {
  RelayHarness harness(1, OfferingTls({}, FakeTlsFault::Stall));
  harness.Dns().AddMx("stall.test", {{10, "127.0.0.2"}});
  const std::vector<std::string> recipients = {"one@stall.test", "two@stall.test", "three@stall.test",
                                               "four@stall.test"};
  auto reply = std::async(std::launch::async, [&] {
    SmtpSession session(harness.RelayPort());
    return session.Send(SimpleMail(recipients));
  });
  ASSERT_TRUE(Eventually([&] { return InHandshake(harness.Exchanger(0), 3); }));
  std::this_thread::sleep_for(50ms);
  const auto start = std::chrono::steady_clock::now();
  harness.Relay().Shutdown();
  ASSERT_EQ(reply.wait_for(5s), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(reply.get(), "");  // refused: no reply, the connection closes
  const auto records = harness.Log().Lines();
  ASSERT_EQ(records.size(), 3u);
  for (std::size_t i = 0; i < records.size(); ++i)
    EXPECT_NE(records[i].find(recipients[i] + "\tHello\tConnection failed\t"), std::string::npos)
        << records[i];
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(harness.Exchanger(0).SessionCount(), 3) << "an aborted handshake must not lead to a plain retry";
  EXPECT_TRUE(Eventually([&] { return harness.Relay().ActiveThreadCount() == 0; }));
}

TEST(TlsConcurrency, ManyClientsEncryptAtOnce) {
  constexpr int kHosts = 3, kClients = 6, kMessagesEach = 10;
  std::vector<std::unique_ptr<FakeSmtpServer>> hosts;
  for (int h = 0; h < kHosts; ++h)
    hosts.push_back(std::make_unique<FakeSmtpServer>("127.0.0." + std::to_string(h + 2), OfferingTls()));
  const auto trusting = os::TlsContext::Client(FakeExchangerCertificate().certificatePem);
  std::atomic<int> verified{0}, unverified{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      TIdSMTP smtp;
      // Half the clients share the default configuration, half their own.
      if (c % 2) smtp.Tls = trusting;
      for (int i = 0; i < kMessagesEach; ++i) {
        Aim(smtp, *hosts[(c + i) % kHosts], 30000);
        TIdMessage message = PlainMessage("r" + std::to_string(c) + "-" + std::to_string(i) + "@y.test");
        try {
          smtp.Connect(5000);
          smtp.Send(message);
          ++(smtp.TlsStatus().certificateVerified ? verified : unverified);
        } catch (const EFailure& failure) {
          ADD_FAILURE() << failure.what();
        }
        smtp.Disconnect();
      }
    });
  }
  for (auto& client : clients) client.join();
  int overTls = 0;
  for (const auto& host : hosts) {
    ASSERT_TRUE(Eventually([&] { return host->EndedSessionCount() == host->SessionCount(); }));
    for (const auto& message : host->Messages()) overTls += message.overTls;
  }
  EXPECT_EQ(overTls, kClients * kMessagesEach);
  EXPECT_EQ(verified, kClients / 2 * kMessagesEach);
  EXPECT_EQ(unverified, kClients / 2 * kMessagesEach);
}
