// How many messages per second go through the whole relay (mail program ->
// relay -> MX lookup -> exchanger) with 1, 8 and 32 mail programs at once,
// next to the same load sent straight to the exchanger. Bounded: a fixed
// number of messages per run and a time limit; everything stays on loopback.
//
//   bench_relay_throughput [messages-per-run]
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

#include "platform/Failure.h"
#include "platform/NetAddress.h"
#include "platform/TcpStream.h"
#include "support/RelayHarness.h"

using Clock = std::chrono::steady_clock;
using namespace testing_support;

namespace {

constexpr int kDefaultMessagesPerRun = 2000;
constexpr int kRounds = 3;
constexpr auto kRunLimit = std::chrono::seconds(20);
// No new round starts after this; keeps a slow machine's whole run short.
constexpr auto kProgramLimit = std::chrono::seconds(45);
constexpr int kClientCounts[] = {1, 8, 32};
constexpr int kWaitMs = 10000;
constexpr const char* kDomain = "ok.test";
constexpr const char* kExchangerIp = "127.0.0.2";

// One sending party; Send hands over one message to one recipient and
// tells whether it was taken.
class Client {
 public:
  virtual ~Client() = default;
  virtual bool Send(const std::string& recipient) = 0;
};

// A mail program in one long session with the relay.
class RelayClient : public Client {
 public:
  explicit RelayClient(uint16_t relayPort) : session_(relayPort) {}
  ~RelayClient() override {
    try {
      session_.Quit();
    } catch (const EFailure&) {
    }
  }
  bool Send(const std::string& recipient) override {
    try {
      return session_.Send(SimpleMail({recipient})).rfind("250", 0) == 0;
    } catch (const EFailure&) {
      return false;  // a lost or silent session counts as refused
    }
  }

 private:
  SmtpSession session_;
};

// Speaks to the exchanger what the relay's outbound client speaks: greeting,
// EHLO, then per message RSET, MAIL FROM, RCPT TO, DATA, the text and ".",
// and QUIT at the end. With a connection per message it reconnects for every
// message, as the relay does; otherwise it keeps one session.
class DirectClient : public Client {
 public:
  DirectClient(uint16_t exchangerPort, bool connectionPerMessage)
      : address_(os::MakeAddress(kExchangerIp, exchangerPort)), perMessage_(connectionPerMessage) {
    if (!perMessage_) Open();
  }
  ~DirectClient() override {
    if (stream_.IsOpen()) Close();
  }

  bool Send(const std::string& recipient) override {
    try {
      if (perMessage_) Open();
      const bool taken = Command("RSET") == 250 && Command("MAIL FROM:<sender@home.test>") == 250 &&
                         Command("RCPT TO:<" + recipient + ">") == 250 && Command("DATA") == 354 &&
                         Command(Text(recipient) + ".") == 250;
      if (perMessage_) Close();
      return taken;
    } catch (const EFailure&) {
      stream_.Close();
      if (!perMessage_) Open();
      return false;
    }
  }

 private:
  void Open() {
    stream_.Connect(address_, kWaitMs);
    if (ReadReply() != 220 || Command("EHLO client.test") != 250)
      throw EFailure("exchanger refused the session");
  }
  // QUIT without waiting for its reply, as the relay's client does.
  void Close() {
    try {
      stream_.Write("QUIT\r\n");
      stream_.Flush(kWaitMs);
    } catch (const EFailure&) {
    }
    stream_.Close();
  }
  int Command(const std::string& line) {
    stream_.Write(line);
    stream_.Write("\r\n");
    stream_.Flush(kWaitMs);
    return ReadReply();
  }
  int ReadReply() {
    std::string line = stream_.ReadLine(kWaitMs);
    while (line.size() > 3 && line[3] == '-') line = stream_.ReadLine(kWaitMs);
    return line.size() >= 3 ? std::atoi(line.substr(0, 3).c_str()) : 0;
  }
  // The same message text as SimpleMail, each line ended; "." follows.
  static std::string Text(const std::string& recipient) {
    std::string text;
    for (const auto& line : SimpleMail({recipient}).lines) text += line + "\r\n";
    return text;
  }

  const sockaddr_in address_;
  const bool perMessage_;
  os::TcpStream stream_;
};

struct RunResult {
  int taken = 0;
  int refused = 0;
  double seconds = 0;
  double Rate() const { return seconds > 0 ? taken / seconds : 0; }
};

using ClientFactory = std::unique_ptr<Client> (*)(uint16_t port);

// Every client opens its session first; the clock runs from when all are
// ready until the shared budget of messages is spent or the time is up.
RunResult RunLoad(int clients, int messages, uint16_t port, ClientFactory makeClient) {
  std::atomic<int> budget{messages};
  std::atomic<int> taken{0}, refused{0};
  std::latch ready(clients + 1);
  Clock::time_point deadline = Clock::time_point::max();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      std::unique_ptr<Client> client;
      try {
        client = makeClient(port);
      } catch (const EFailure& failure) {
        std::fprintf(stderr, "client %d could not start: %s\n", c, failure.what());
      }
      ready.arrive_and_wait();
      if (!client) return;
      for (int m = 0; budget.fetch_sub(1) > 0 && Clock::now() < deadline; ++m) {
        const std::string recipient = "c" + std::to_string(c) + "m" + std::to_string(m) + "@" + kDomain;
        ++(client->Send(recipient) ? taken : refused);
      }
    });
  }
  deadline = Clock::now() + kRunLimit;
  ready.arrive_and_wait();
  const auto start = Clock::now();
  for (auto& thread : threads) thread.join();
  return {taken.load(), refused.load(), std::chrono::duration<double>(Clock::now() - start).count()};
}

std::unique_ptr<Client> MakeRelayClient(uint16_t port) { return std::make_unique<RelayClient>(port); }
std::unique_ptr<Client> MakeDirectPerMessage(uint16_t port) {
  return std::make_unique<DirectClient>(port, true);
}
std::unique_ptr<Client> MakeDirectSession(uint16_t port) {
  return std::make_unique<DirectClient>(port, false);
}

// The rates of one way of sending over the rounds; the median is the figure.
struct Rates {
  std::vector<double> values;
  int refused = 0;

  void Add(const RunResult& run) {
    values.push_back(run.Rate());
    refused += run.refused;
  }
  double Median() const {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted.empty() ? 0 : sorted[sorted.size() / 2];
  }
  void Print(const char* what, int clients) const {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::printf("  %-32s %2d clients: %6.0f msg/s  (%.0f .. %.0f)\n", what, clients, Median(), *low, *high);
    if (refused) std::printf("    %d messages were refused or failed\n", refused);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int messages = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultMessagesPerRun;
  // The exchanger offers PIPELINING, as most do; the direct clients still
  // send one command at a time.
  FakeSmtpScript script;
  script.record = false;
  script.pipelining = true;
  RelayHarness harness(1, script);
  harness.Dns().AddMx(kDomain, {{10, kExchangerIp}});
  FakeSmtpServer& sink = harness.Exchanger(0);

  // Warm up threads, allocator arenas and the fakes before measuring.
  RunLoad(8, 200, harness.RelayPort(), MakeRelayClient);
  RunLoad(8, 200, harness.ExchangerPort(), MakeDirectPerMessage);

  std::printf("%d messages per run (at most %lld s), one recipient each; median (min .. max) of %d rounds\n",
              messages, static_cast<long long>(kRunLimit.count()), kRounds);
  const auto programDeadline = Clock::now() + kProgramLimit;
  for (int clients : kClientCounts) {
    Rates direct, session, relay;
    // The ways take turns, so a stretch of load from elsewhere hits them alike.
    for (int round = 0; round < kRounds && (round == 0 || Clock::now() < programDeadline); ++round) {
      direct.Add(RunLoad(clients, messages, harness.ExchangerPort(), MakeDirectPerMessage));
      session.Add(RunLoad(clients, messages, harness.ExchangerPort(), MakeDirectSession));
      const int sinkBefore = sink.MessageCount();
      const int sentBefore = harness.Relay().SentCount();
      const RunResult run = RunLoad(clients, messages, harness.RelayPort(), MakeRelayClient);
      relay.Add(run);
      harness.Dns().ClearQueries();
      const int arrived = sink.MessageCount() - sinkBefore;
      if (arrived != run.taken || harness.Relay().SentCount() - sentBefore != run.taken)
        std::printf("    MISMATCH: %d accepted by the relay, %d arrived, %d counted as sent\n", run.taken,
                    arrived, harness.Relay().SentCount() - sentBefore);
    }
    direct.Print("direct, connection per message", clients);
    session.Print("direct, one session per client", clients);
    relay.Print("end to end through the relay", clients);
    const double ratio = direct.Median() > 0 ? relay.Median() / direct.Median() : 0;
    std::printf("  %-32s %2d clients: %.2f of direct per message, %.2f of direct session%s\n\n",
                "end to end / direct", clients, ratio,
                session.Median() > 0 ? relay.Median() / session.Median() : 0,
                clients >= 8 ? (ratio >= 0.5 ? "  (target >= 0.5: met)" : "  (target >= 0.5: MISSED)") : "");
  }
  return 0;
}
