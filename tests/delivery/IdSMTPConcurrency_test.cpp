// Dropping a client's socket from another thread, and many clients at work
// against several fake exchangers at once.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <thread>

#include "delivery/IdSMTP.h"
#include "platform/Failure.h"
#include "support/FakeSmtpServer.h"
#include "support/SmtpClientFixture.h"
#include "support/Timing.h"

using namespace std::chrono_literals;
using testing_support::Aim;
using testing_support::BacklogFullListener;
using testing_support::Eventually;
using testing_support::FakeSmtpRule;
using testing_support::FakeSmtpServer;
using testing_support::PlainMessage;

TEST(IdSMTPConcurrency, DisconnectSocketEndsABlockedReadAtOnce) {
  FakeSmtpServer fake("127.0.0.1", {{FakeSmtpRule::SilentOn(".")}});
  TIdSMTP smtp;
  Aim(smtp, fake.Ip(), fake.Port(), 30000);
  smtp.Connect(2000);
  TIdMessage message = PlainMessage("a@y.test");
  auto sending = std::async(std::launch::async, [&] {
    try {
      smtp.Send(message);
    } catch (const EFailure& failure) {
      return std::string(failure.what());
    }
    return std::string("<none>");
  });
  ASSERT_TRUE(Eventually([&] {
    const auto sessions = fake.Sessions();
    return !sessions.empty() && !sessions[0].commands.empty() && sessions[0].commands.back() == ".";
  }));
  std::this_thread::sleep_for(50ms);  // let the client settle into its read
  const auto start = std::chrono::steady_clock::now();
  smtp.DisconnectSocket();
  ASSERT_EQ(sending.wait_for(5s), std::future_status::ready) << "the read did not end";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_NE(sending.get(), "<none>");
  EXPECT_TRUE(smtp.ClosedGracefully());
  EXPECT_FALSE(smtp.Connected());
  smtp.Disconnect();
  EXPECT_TRUE(Eventually([&] { return fake.EndedSessionCount() == 1; }));
}

TEST(IdSMTPConcurrency, DisconnectSocketEndsAConnectInProgress) {
  BacklogFullListener full;
  TIdSMTP smtp;
  Aim(smtp, "127.0.0.1", full.Port(), 30000);
  auto connecting = std::async(std::launch::async, [&] {
    try {
      smtp.Connect(30000);
    } catch (const EFailure& failure) {
      return std::string(failure.what());
    }
    return std::string("<none>");
  });
  // A drop that comes before the socket exists has nothing to drop, so repeat
  // it until the connect gives up.
  const auto start = std::chrono::steady_clock::now();
  while (connecting.wait_for(20ms) != std::future_status::ready &&
         std::chrono::steady_clock::now() - start < 5s)
    smtp.DisconnectSocket();
  ASSERT_EQ(connecting.wait_for(0s), std::future_status::ready) << "the connect did not end";
  EXPECT_NE(connecting.get(), "<none>");
  EXPECT_TRUE(smtp.ClosedGracefully());
  EXPECT_FALSE(smtp.Connected());
}

// A drop that comes while no connection is open (between two hosts) is kept:
// no later connect reaches an exchanger until the owner clears the drop.
TEST(IdSMTPConcurrency, DropBetweenConnectionsHoldsUntilCleared) {
  FakeSmtpServer fake;
  TIdSMTP smtp;
  Aim(smtp, fake.Ip(), fake.Port(), 30000);
  smtp.DisconnectSocket();
  for (int attempt = 0; attempt < 2; ++attempt) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(smtp.Connect(2000), ESocketError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_TRUE(smtp.ClosedGracefully());
  }
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(fake.SessionCount(), 0);

  smtp.ClearAbort();
  smtp.Connect(2000);
  TIdMessage message = PlainMessage("a@y.test");
  smtp.Send(message);
  smtp.Disconnect();
  EXPECT_EQ(fake.MessageCount(), 1);
}

TEST(IdSMTPConcurrency, ManyClientsAgainstSeveralExchangers) {
  constexpr int kHosts = 3, kClients = 6, kMessagesEach = 15;
  std::vector<std::unique_ptr<FakeSmtpServer>> hosts;
  for (int h = 0; h < kHosts; ++h) {
    testing_support::FakeSmtpScript script;
    // One exchanger refuses some recipients, one is slow to answer.
    if (h == 1) script.rules = {FakeSmtpRule::Answer("RCPT", {"550 Refused"}, "refuse")};
    if (h == 2) script.replyDelay = 1ms;
    hosts.push_back(std::make_unique<FakeSmtpServer>("127.0.0." + std::to_string(h + 2), script));
  }
  std::vector<std::thread> clients;
  std::atomic<int> refused{0};
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      TIdSMTP smtp;
      for (int i = 0; i < kMessagesEach; ++i) {
        const auto& host = *hosts[(c + i) % kHosts];
        Aim(smtp, host.Ip(), host.Port(), 30000);
        const std::string to =
            (i % 5 == 0 ? "refuse-" : "ok-") + std::to_string(c) + "-" + std::to_string(i) + "@y.test";
        TIdMessage message = PlainMessage(to);
        try {
          smtp.Connect(5000);
          smtp.Send(message);
        } catch (const EFailure& failure) {
          EXPECT_EQ(std::string(failure.what()), "Refused\r\n");
          ++refused;
        }
        smtp.Disconnect();
      }
    });
  }
  for (auto& client : clients) client.join();

  std::set<std::string> delivered;
  int expectedRefusals = 0;
  for (int c = 0; c < kClients; ++c)
    for (int i = 0; i < kMessagesEach; ++i)
      if (i % 5 == 0 && (c + i) % kHosts == 1) ++expectedRefusals;
  for (const auto& host : hosts) {
    ASSERT_TRUE(Eventually([&] { return host->EndedSessionCount() == host->SessionCount(); }));
    for (const auto& message : host->Messages()) {
      ASSERT_EQ(message.rcptTo.size(), 1u);
      EXPECT_TRUE(delivered.insert(message.rcptTo[0]).second) << "twice: " << message.rcptTo[0];
      EXPECT_EQ(message.BodyLines(), (std::vector<std::string>{"Hello", "."}));
    }
  }
  EXPECT_EQ(refused, expectedRefusals);
  EXPECT_EQ(static_cast<int>(delivered.size()), kClients * kMessagesEach - expectedRefusals);
}
