// How long a mail program waits for the reply to its end of DATA when the
// exchangers and the DNS server are some way off: a loopback proxy in front
// of each fake exchanger and of the fake DNS server holds every exchange
// for a round trip. Prints the seconds from the end of the text to the
// reply for 1, 10, 50 and 200 recipients over ten domains, each domain at an
// exchanger of its own that offers PIPELINING. Bounded: a fixed number of
// messages, each reply awaited at most the relay's own limits; everything
// stays on loopback.
//
//   bench_delivery_latency [round-trip-ms] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/NetAddress.h"
#include "support/FakeSmtpServer.h"
#include "support/RelayHarness.h"
#include "support/SmtpWireClient.h"
#include "support/TcpDelayProxy.h"
#include "support/UdpDelayProxy.h"

using Clock = std::chrono::steady_clock;
using namespace testing_support;

namespace {

constexpr int kDomains = 10;
constexpr int kRecipientCounts[] = {1, 10, 50, 200};
constexpr int kDefaultRoundTripMs = 40;
constexpr int kDefaultRounds = 3;
constexpr int kReplyWaitMs = 300000;

std::string Domain(int d) { return "d" + std::to_string(d) + ".test"; }

// Sends one message to `recipients` recipients over the domains in turn and
// returns the seconds from the end of its text to the reply, or -1 when the
// reply was not "250".
double SecondsToDataReply(uint16_t relayPort, int recipients) {
  SmtpWireClient client(relayPort);
  client.ReadLine();
  client.Command("HELO client.test");
  client.Command("MAIL FROM:<sender@home.test>");
  std::string to;
  for (int r = 0; r < recipients; ++r) {
    const std::string address = "r" + std::to_string(r) + "@" + Domain(r % kDomains);
    client.Command("RCPT TO:<" + address + ">");
    to += (to.empty() ? "" : ", ") + address;
  }
  client.Command("DATA");
  client.SendRaw("From: Sender <sender@home.test>\r\nTo: " + to +
                 "\r\nSubject: Latency\r\n\r\nA line of text.\r\n");
  const auto start = Clock::now();
  client.SendRaw(".\r\n");
  const std::string reply = client.ReadLine(kReplyWaitMs);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  client.Command("QUIT");
  return reply.rfind("250", 0) == 0 ? seconds : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int roundTripMs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRoundTripMs;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultRounds;
  const auto roundTrip = std::chrono::milliseconds(roundTripMs);

  RelayHarness harness(0);
  FakeSmtpScript script;
  script.pipelining = true;
  script.record = false;
  std::vector<std::unique_ptr<FakeSmtpServer>> exchangers;
  std::vector<std::unique_ptr<TcpDelayProxy>> proxies;
  for (int d = 0; d < kDomains; ++d) {
    exchangers.push_back(std::make_unique<FakeSmtpServer>("127.0.0." + std::to_string(102 + d), script));
    const std::string proxyIp = "127.0.0." + std::to_string(2 + d);
    const uint16_t port = proxies.empty() ? 0 : proxies.front()->Port();
    proxies.push_back(std::make_unique<TcpDelayProxy>(
        proxyIp, port, os::MakeAddress(exchangers.back()->Ip(), exchangers.back()->Port()), roundTrip));
    harness.Dns().AddMx(Domain(d), {{10, proxyIp}});
  }
  UdpDelayProxy dns(os::MakeAddress("127.0.0.1", harness.Dns().Port()), roundTrip);
  harness.Relay().SetActiveDnsServer(dns.Address());
  harness.Relay().SetOutboundPort(proxies.front()->Port());

  std::printf("round trip %d ms to every exchanger and to the DNS server; median of %d messages each\n",
              roundTripMs, rounds);
  std::printf("%10s %10s %12s %10s\n", "recipients", "seconds", "round trips", "x one");
  double one = 0;
  for (int recipients : kRecipientCounts) {
    std::vector<double> seconds;
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
      const double s = SecondsToDataReply(harness.RelayPort(), recipients);
      if (s < 0) {
        ++failed;
      } else {
        seconds.push_back(s);
      }
    }
    if (seconds.empty()) {
      std::printf("%10d    every message failed\n", recipients);
      continue;
    }
    const double median = Median(seconds);
    if (recipients == 1) one = median;
    std::printf("%10d %10.3f %12.1f %10.2f%s\n", recipients, median, median * 1000 / roundTripMs,
                one > 0 ? median / one : 0, failed ? "  (some messages failed)" : "");
  }
  std::printf("targets: 1 recipient in at most 6 round trips; 50 within 2x of 1; 200 within 4x of 1\n");
  return 0;
}
