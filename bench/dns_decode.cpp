// How fast DNS answers are decoded, what a whole MX lookup over loopback
// costs, and what detecting the system's DNS server costs. Prints its figures; every loop is bounded in count
// and time.
#include <chrono>
#include <cstdio>
#include <string>

#include "delivery/SystemDnsServer.h"
#include "delivery/dns/DnsAnswerDecoder.h"
#include "delivery/dns/IdDNSResolver.h"
#include "support/FakeDnsServer.h"

using Clock = std::chrono::steady_clock;
using testing_support::FakeDnsServer;

namespace {

std::string U16(uint16_t value) { return FakeDnsServer::U16(value); }

// A typical answer for a large mail domain: five MX records compressed
// against the question, and two A records in the additional section.
std::string TypicalMxAnswer(uint16_t id) {
  const std::string q = "\xC0\x0C";
  std::string answer =
      FakeDnsServer::Header(id, 0x8180, 1, 5, 0, 2) + FakeDnsServer::Name("example.com") + U16(15) + U16(1);
  const char* hosts[] = {
      "\x05"
      "aspmx",
      "\x04"
      "alt1",
      "\x04"
      "alt2",
      "\x04"
      "alt3",
      "\x04"
      "alt4"};
  uint16_t preference = 1;
  for (const char* host : hosts) {
    const std::string rdata = U16(preference) + host + q;
    answer +=
        q + U16(15) + U16(1) + FakeDnsServer::U32(300) + U16(static_cast<uint16_t>(rdata.size())) + rdata;
    preference += 10;
  }
  for (int n = 1; n <= 2; ++n)
    answer += std::string(
                  "\x04"
                  "alt1") +
              q + U16(1) + U16(1) + FakeDnsServer::U32(300) + U16(4) + "\xC0" + std::string(1, '\0') +
              "\x02" + static_cast<char>(n);
  return answer;
}

template <typename Step>
void Measure(const char* what, const char* unit, long maxCount, std::chrono::milliseconds limit, Step step) {
  const auto start = Clock::now();
  long count = 0;
  while (count < maxCount && Clock::now() - start < limit) {
    for (int n = 0; n < 100 && count < maxCount; ++n, ++count) step();
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%-44s %12.0f %s/s  (%ld in %.2f s, %.2f us each)\n", what, count / seconds, unit, count,
              seconds, seconds * 1e6 / static_cast<double>(count));
}

}  // namespace

int main() {
  const std::string answer = TypicalMxAnswer(0x1234);
  std::size_t mxSeen = 0;
  Measure("decode typical MX answer (5 MX + 2 A)", "answers", 5'000'000, std::chrono::milliseconds(2000),
          [&] {
            TDNSHeader header;
            TQueryResult result;
            DecodeDnsAnswer(answer, 0x1234, 29, header, result);
            mxSeen += result.OfType<TMXRecord>().size();
          });
  if (mxSeen == 0) return 1;

  FakeDnsServer fake;
  fake.AddMx("example.com", {{1, "aspmx.example.com"}, {11, "alt1.example.com"}, {21, "alt2.example.com"}});
  TIdDNSResolver resolver;
  resolver.Host = fake.Address();
  resolver.QueryRecords = TQueryRecordTypes{qtMX};
  resolver.ReceiveTimeout = 2000;
  resolver.Activate();
  Measure("MX lookup round trip over loopback", "lookups", 20'000, std::chrono::milliseconds(2000), [&] {
    resolver.ClearResults();
    resolver.Resolve("example.com");
    fake.ClearQueries();
  });

  // Detection runs every two seconds while no server is set: it must stay cheap.
  Measure("system DNS server detection (resolv.conf)", "calls", 20'000, std::chrono::milliseconds(1000),
          [] { FindSystemDnsServer(); });
  std::printf("system DNS server: \"%s\"\n", FindSystemDnsServer().c_str());
  return 0;
}
