// How many copies per second reach a loopback exchanger with and without
// STARTTLS: the outbound client alone (a connection per copy, as the relay
// delivers) and the whole relay (mail programs -> relay -> MX lookup ->
// exchanger). Bounded: a fixed number of messages per run and a time limit;
// everything stays on loopback.
//
//   bench_tls_delivery [messages-per-run]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "delivery/DeliveryEngine.h"
#include "delivery/IdSMTP.h"
#include "platform/Failure.h"
#include "support/RelayHarness.h"
#include "support/TestCertificate.h"

using Clock = std::chrono::steady_clock;
using namespace testing_support;

namespace {

constexpr int kDefaultMessagesPerRun = 400;
constexpr int kRounds = 3;
constexpr auto kRunLimit = std::chrono::seconds(20);
constexpr auto kProgramLimit = std::chrono::seconds(90);
constexpr int kClientCounts[] = {1, 8};
constexpr const char* kDomain = "ok.test";

FakeSmtpScript ExchangerScript(bool tls) {
  FakeSmtpScript script;
  script.record = false;
  if (tls) script.tls = FakeExchangerTls();
  return script;
}

TIdMessage Message(const std::string& to) {
  TIdMessage m;
  m.Headers.Lines = {"From: Sender <sender@home.test>", "To: " + to, "Subject: Hello"};
  m.From.Address = "sender@home.test";
  m.Recipients.Add().Address = to;
  m.Subject = "Hello";
  m.Body = {"Hello there."};
  return m;
}

struct RunResult {
  int taken = 0;
  int failed = 0;
  double seconds = 0;
  double Rate() const { return seconds > 0 ? taken / seconds : 0; }
};

// Runs send(client, index) from `clients` threads until `messages` are spent
// or the time is up; the clock starts when every thread is ready.
template <typename Send>
RunResult RunLoad(int clients, int messages, Send send) {
  std::atomic<int> budget{messages}, taken{0}, failed{0};
  std::latch ready(clients + 1);
  Clock::time_point deadline = Clock::time_point::max();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      ready.arrive_and_wait();
      for (int m = 0; budget.fetch_sub(1) > 0 && Clock::now() < deadline; ++m)
        ++(send(c, m) ? taken : failed);
    });
  }
  deadline = Clock::now() + kRunLimit;
  ready.arrive_and_wait();
  const auto start = Clock::now();
  for (auto& thread : threads) thread.join();
  return {taken.load(), failed.load(), std::chrono::duration<double>(Clock::now() - start).count()};
}

// The outbound client alone: one client object per thread, a connection per
// copy.
RunResult ClientRun(int clients, int messages, bool tls) {
  FakeSmtpServer exchanger("127.0.0.2", ExchangerScript(tls));
  std::vector<std::unique_ptr<TIdSMTP>> smtp;
  for (int c = 0; c < clients; ++c) {
    smtp.push_back(std::make_unique<TIdSMTP>());
    smtp.back()->Host = exchanger.Ip();
    smtp.back()->Port = exchanger.Port();
    smtp.back()->ReadTimeout = 10000;
    smtp.back()->HeloName = "bench.test";
  }
  return RunLoad(clients, messages, [&](int c, int m) {
    TIdMessage message = Message("c" + std::to_string(c) + "m" + std::to_string(m) + "@" + kDomain);
    TIdSMTP& client = *smtp[c];
    try {
      client.Connect(10000);
      client.Send(message);
      client.Disconnect();
      return client.TlsStatus().encrypted == tls;
    } catch (const EFailure&) {
      if (client.Connected()) client.Disconnect();
      return false;
    }
  });
}

// The whole relay: each thread a mail program in one long session.
RunResult RelayRun(int clients, int messages, bool tls) {
  RelayHarness harness(1, ExchangerScript(tls));
  harness.Dns().AddMx(kDomain, {{10, "127.0.0.2"}});
  std::vector<std::unique_ptr<SmtpSession>> sessions;
  for (int c = 0; c < clients; ++c) sessions.push_back(std::make_unique<SmtpSession>(harness.RelayPort()));
  const int64_t encryptedBefore = harness.Relay().EncryptedCopies();
  RunResult result = RunLoad(clients, messages, [&](int c, int m) {
    try {
      const std::string to = "c" + std::to_string(c) + "m" + std::to_string(m) + "@" + kDomain;
      return sessions[c]->Send(SimpleMail({to})).rfind("250", 0) == 0;
    } catch (const EFailure&) {
      return false;
    }
  });
  const int64_t encrypted = harness.Relay().EncryptedCopies() - encryptedBefore;
  if (encrypted != (tls ? result.taken : 0))
    std::fprintf(stderr, "  (%lld of %d copies went encrypted)\n", static_cast<long long>(encrypted),
                 result.taken);
  return result;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int messages = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultMessagesPerRun;
  const auto programEnd = Clock::now() + kProgramLimit;
  FakeExchangerTls();  // the certificate is made once, outside the clock
  std::printf("copies per second to a loopback exchanger, %d messages per run, median of %d runs\n", messages,
              kRounds);
  const struct {
    const char* what;
    RunResult (*run)(int, int, bool);
  } loads[] = {{"outbound client", ClientRun}, {"whole relay", RelayRun}};
  for (const auto& load : loads) {
    for (int clients : kClientCounts) {
      double rate[2] = {0, 0};
      int failed = 0;
      for (bool tls : {false, true}) {
        std::vector<double> rates;
        for (int round = 0; round < kRounds && Clock::now() < programEnd; ++round) {
          const RunResult run = load.run(clients, messages, tls);
          rates.push_back(run.Rate());
          failed += run.failed;
        }
        rate[tls] = Median(rates);
      }
      std::printf("  %-16s %2d clients: plain %6.0f/s  TLS %6.0f/s  (TLS/plain %.2f)%s\n", load.what, clients,
                  rate[0], rate[1], rate[0] > 0 ? rate[1] / rate[0] : 0.0,
                  failed ? ("  " + std::to_string(failed) + " failed").c_str() : "");
    }
  }
  return 0;
}
