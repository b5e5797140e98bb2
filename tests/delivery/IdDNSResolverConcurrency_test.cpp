// The DNS client across threads: closing its socket from another thread
// ends a wait at once, and resolvers on many threads share one server
// without taking each other's answers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "delivery/dns/IdDNSResolver.h"
#include "support/FakeDnsServer.h"

using namespace std::chrono_literals;
using testing_support::FakeDnsServer;

namespace {

void Prepare(TIdDNSResolver& resolver, const FakeDnsServer& fake, int timeoutMs) {
  resolver.Host = fake.Address();
  resolver.QueryRecords = TQueryRecordTypes{qtMX};
  resolver.ReceiveTimeout = timeoutMs;
  resolver.Activate();
}

TEST(IdDNSResolverConcurrency, CloseSocketFromAnotherThreadEndsTheWaitAtOnce) {
  FakeDnsServer fake;
  fake.AddSilence("silent.test");
  fake.AddMx("example.test", {{10, "127.0.0.2"}});
  TIdDNSResolver resolver;
  Prepare(resolver, fake, 20000);

  auto waiting = std::async(std::launch::async, [&] {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(resolver.Resolve("silent.test"), ESocketError);
    return std::chrono::steady_clock::now() - start;
  });
  ASSERT_TRUE(fake.WaitForQueries(1));  // the resolver is now waiting for the answer
  std::this_thread::sleep_for(20ms);
  const auto closedAt = std::chrono::steady_clock::now();
  resolver.CloseSocket();
  ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
  const auto elapsed = waiting.get();
  EXPECT_LT(elapsed, 2000ms);
  EXPECT_LT(std::chrono::steady_clock::now() - closedAt, 1000ms);

  // Closed stays closed, even through another activation, until the owner
  // clears the close.
  EXPECT_FALSE(resolver.Active());
  EXPECT_THROW(resolver.Resolve("example.test"), ESocketError);
  EXPECT_THROW(resolver.Activate(), ESocketError);
  resolver.ClearAbort();
  resolver.Activate();
  resolver.Resolve("example.test");
  EXPECT_EQ(resolver.QueryResult().OfType<TMXRecord>().size(), 1u);
}

// A close that comes before the wait, or before the socket is even open,
// lets no query out.
TEST(IdDNSResolverConcurrency, CloseSocketBeforeTheQuerySendsNothing) {
  FakeDnsServer fake;
  fake.AddMx("example.test", {{10, "127.0.0.2"}});
  for (bool openFirst : {true, false}) {
    SCOPED_TRACE(openFirst ? "socket open" : "socket not yet open");
    TIdDNSResolver resolver;
    resolver.Host = fake.Address();
    resolver.QueryRecords = TQueryRecordTypes{qtMX};
    resolver.ReceiveTimeout = 20000;
    if (openFirst) resolver.Activate();
    resolver.CloseSocket();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(
        {
          resolver.Activate();
          resolver.Resolve("example.test");
        },
        ESocketError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
  }
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(fake.QueryCount(), 0u);
}

TEST(IdDNSResolverConcurrency, ResolversOnManyThreadsGetTheirOwnAnswers) {
  FakeDnsServer fake;
  constexpr int kThreads = 6;
  constexpr int kQueriesEach = 20;
  for (int t = 0; t < kThreads; ++t)
    fake.AddMx("d" + std::to_string(t) + ".test",
               {{static_cast<uint16_t>(t), "127.0.0." + std::to_string(t + 1)}});

  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      TIdDNSResolver resolver;
      Prepare(resolver, fake, 5000);
      for (int n = 0; n < kQueriesEach; ++n) {
        resolver.ClearResults();
        try {
          resolver.Resolve("d" + std::to_string(t) + ".test");
          auto mx = resolver.QueryResult().OfType<TMXRecord>();
          if (mx.size() != 1 || mx[0]->Preference != t ||
              mx[0]->ExchangeServer != "127.0.0." + std::to_string(t + 1))
            ++wrong;
        } catch (const EFailure&) {
          ++wrong;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(fake.QueryCount(), static_cast<std::size_t>(kThreads * kQueriesEach));
}

}  // namespace
