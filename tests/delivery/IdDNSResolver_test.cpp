// The DNS client against a scripted server over loopback: the query on the
// wire, MX answers, every failure text, forged answers and query IDs.
#include "delivery/dns/IdDNSResolver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <thread>

#include "support/DnsResolverFixture.h"
#include "support/FakeDnsServer.h"

using namespace std::chrono_literals;
using namespace std::string_literals;
using testing_support::FakeDnsServer;

namespace {

// The text a call fails with, or "no failure".
std::string FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EIdDnsResolverError& failure) {
    return failure.what();
  }
  return "no failure";
}

std::vector<std::pair<int, std::string>> MxList(const TQueryResult& result) {
  std::vector<std::pair<int, std::string>> list;
  for (const TMXRecord* mx : result.OfType<TMXRecord>())
    list.emplace_back(mx->Preference, mx->ExchangeServer);
  return list;
}

class IdDNSResolver : public testing_support::DnsResolverFixture {
 protected:
  std::string Failure(const std::string& domain) {
    resolver.ClearResults();
    return FailureOf([&] { resolver.Resolve(domain); });
  }
};

TEST_F(IdDNSResolver, MxQueryBytesOnTheWire) {
  fake.AddMx("example.test", {{10, "127.0.0.2"}});
  resolver.Resolve("example.test");
  ASSERT_EQ(fake.QueryCount(), 1u);
  const auto query = fake.Queries()[0];
  const uint16_t id = resolver.Header().ID;
  const std::string expected = FakeDnsServer::U16(id) + "\x01\x00\x00\x01\0\0\0\0\0\0"s +
                               "\x07"
                               "example"
                               "\x04"
                               "test"
                               "\x00"
                               "\x00\x0F\x00\x01"s;
  EXPECT_EQ(query.bytes, expected);
  EXPECT_EQ(resolver.Query(), expected);
  EXPECT_EQ(query.fromPort, resolver.LocalPort());
}

TEST_F(IdDNSResolver, MxRecordsInAnswerOrderWithCompressedNames) {
  // The fake compresses exchange names inside the domain with a pointer to
  // the question, as real servers do; the last one is the domain itself.
  fake.AddMx("example.test", {{30, "mx3.example.test"},
                              {10, "127.0.0.2"},
                              {20, "mail.other.test"},
                              {5, "deep.mx.example.test"},
                              {40, "example.test"}});
  resolver.Resolve("example.test");
  const TQueryResult& result = resolver.QueryResult();
  EXPECT_EQ(result.QName, "example.test");
  EXPECT_EQ(result.QType, 15);
  EXPECT_EQ(result.QClass, 1);
  const std::vector<std::pair<int, std::string>> expected = {{30, "mx3.example.test"},
                                                             {10, "127.0.0.2"},
                                                             {20, "mail.other.test"},
                                                             {5, "deep.mx.example.test"},
                                                             {40, "example.test"}};
  EXPECT_EQ(MxList(result), expected);
  ASSERT_EQ(result.Count(), 5u);
  EXPECT_EQ(result[0].Name, "example.test");
  EXPECT_EQ(result[0].Type, 15);
  EXPECT_EQ(result[0].TTL, 3600u);
}

TEST_F(IdDNSResolver, SoaOnlyAnswerSucceedsWithoutMx) {
  fake.AddSoaOnly("nomx.test");
  resolver.Resolve("nomx.test");
  const TQueryResult& result = resolver.QueryResult();
  EXPECT_TRUE(result.OfType<TMXRecord>().empty());
  auto soa = result.OfType<TSOARecord>();
  ASSERT_EQ(soa.size(), 1u);
  EXPECT_EQ(soa[0]->Primary, "ns1.nomx.test");
  EXPECT_EQ(soa[0]->ResponsiblePerson, "hostmaster.nomx.test");
  EXPECT_EQ(soa[0]->Serial, 2024010101u);
  EXPECT_EQ(soa[0]->MinimumTTL, 300u);
}

TEST_F(IdDNSResolver, EveryFailureText) {
  const std::string header = FakeDnsServer::Header(0, 0x8180, 1, 0, 0, 0);
  struct Case {
    std::string what;
    std::function<void()> script;  // how the fake answers "case.test"
    std::string expected;          // "%d" stands for the query's ID
  } cases[] = {
      {"rcode 1", [&] { fake.AddRcode("case.test", 1); }, "DNS Server Reports Query Format Error"},
      {"rcode 2", [&] { fake.AddRcode("case.test", 2); }, "DNS Server Reports Query Server Error"},
      {"rcode 3", [&] { fake.AddRcode("case.test", 3); }, "DNS Server Reports Query Name Error"},
      {"rcode 4", [&] { fake.AddRcode("case.test", 4); }, "DNS Server Reports Query Not Implemented Error"},
      {"rcode 5", [&] { fake.AddRcode("case.test", 5); }, "DNS Server Reports Query Refused Error"},
      {"rcode 6", [&] { fake.AddRcode("case.test", 6); }, "Server Returned Unknown Error"},
      {"rcode 15", [&] { fake.AddRcode("case.test", 15); }, "Server Returned Unknown Error"},
      {"another id",
       [&] {
         fake.AddWrongId("case.test", {{10, "127.0.0.2"}});
       },
       "Invalid Header Id %d"},
      {"another id in five bytes, checked before the rcode",
       [&] {
         fake.AddScript("case.test", [](const FakeDnsServer::Query& q) {
           return std::vector<FakeDnsServer::Datagram>{{FakeDnsServer::U16(q.id ^ 0x0101) + "\x81\x83\x00"s}};
         });
       },
       "Invalid Header Id %d"},
      {"four bytes", [&] { fake.AddRaw("case.test", header.substr(0, 4)); }, "TimedOut"},
      {"empty datagram", [&] { fake.AddRaw("case.test", ""); }, "TimedOut"},
      {"rcode in a short answer", [&] { fake.AddRaw("case.test", header.substr(0, 3) + "\x85\x00"s); },
       "DNS Server Reports Query Refused Error"},
      {"eleven bytes", [&] { fake.AddRaw("case.test", header.substr(0, 11)); },
       "Received Packet is too small. Less than 12 bytes 29"},
      {"header only", [&] { fake.AddRaw("case.test", header); },
       "Received Packet is too small. Less than 12 bytes 30"},
      {"shorter than the query", [&] { fake.AddRaw("case.test", header + std::string(14, '\0')); },
       "Received Packet is too small. Less than 12 bytes 30"},
      {"silence", [&] { fake.AddSilence("case.test"); }, "TimedOut"},
  };
  resolver.ReceiveTimeout = 200;
  for (const auto& c : cases) {
    c.script();
    std::string expected = c.expected;
    const std::string got = Failure("case.test");
    if (auto at = expected.find("%d"); at != std::string::npos)
      expected.replace(at, 2, std::to_string(resolver.Header().ID));
    EXPECT_EQ(got, expected) << c.what;
    EXPECT_TRUE(resolver.QueryResult().Empty()) << c.what;
  }
}

TEST_F(IdDNSResolver, NoRecordTypesIsAnInvalidQueryCountAndSendsNothing) {
  resolver.QueryRecords = TQueryRecordTypes{};
  EXPECT_EQ(Failure("example.test"), "Invalid Query Count 0");
  EXPECT_TRUE(resolver.Query().empty());
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(fake.QueryCount(), 0u);
}

TEST_F(IdDNSResolver, TimesOutWithinTheReceiveTimeout) {
  fake.AddSilence("slow.test");
  resolver.ReceiveTimeout = 150;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Failure("slow.test"), "TimedOut");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 140ms);
  EXPECT_LT(elapsed, 2000ms);
}

TEST_F(IdDNSResolver, ForgedAnswersFromElsewhereAreIgnored) {
  const std::vector<std::pair<int, std::string>> genuine = {{10, "127.0.0.2"}};
  for (auto from : {FakeDnsServer::Source::OtherPort, FakeDnsServer::Source::OtherAddress}) {
    fake.AddSpoofed("spoof.test", {{1, "evil.example"}}, std::vector<FakeDnsServer::Mx>{{10, "127.0.0.2"}},
                    from);
    resolver.ClearResults();
    resolver.Resolve("spoof.test");
    EXPECT_EQ(MxList(resolver.QueryResult()), genuine) << "forged from source " << static_cast<int>(from);
  }

  // A forged answer alone is no answer at all.
  fake.AddSpoofed("spoof.test", {{1, "evil.example"}}, std::nullopt);
  resolver.ReceiveTimeout = 200;
  EXPECT_EQ(Failure("spoof.test"), "TimedOut");
}

TEST_F(IdDNSResolver, EveryQueryDrawsAFreshId) {
  fake.AddMx("example.test", {{10, "127.0.0.2"}});
  std::set<uint16_t> ids;
  constexpr int kQueries = 16;
  for (int n = 0; n < kQueries; ++n) {
    resolver.Resolve("example.test");
    ids.insert(resolver.Header().ID);
  }
  TIdDNSResolver second;
  second.Host = fake.Address();
  second.QueryRecords = TQueryRecordTypes{qtMX};
  second.ReceiveTimeout = 5000;
  second.Activate();
  second.Resolve("example.test");
  ids.insert(second.Header().ID);

  // Seventeen draws from 65536 values: a repeat or two is possible, a pattern is not.
  EXPECT_GE(ids.size(), 15u);
  const auto queries = fake.Queries();
  ASSERT_EQ(queries.size(), kQueries + 1u);
  EXPECT_EQ(queries.back().id, second.Header().ID);
}

TEST_F(IdDNSResolver, ALateAnswerToAnEarlierQueryIsNotTakenForTheNext) {
  fake.AddDelayedMx("late.test", {{10, "127.0.0.9"}}, 300);
  fake.AddMx("example.test", {{10, "127.0.0.2"}});
  resolver.ReceiveTimeout = 100;
  EXPECT_EQ(Failure("late.test"), "TimedOut");
  std::this_thread::sleep_for(400ms);  // the late answer is now queued at the socket
  resolver.ReceiveTimeout = 5000;
  resolver.Resolve("example.test");
  const std::vector<std::pair<int, std::string>> expected = {{10, "127.0.0.2"}};
  EXPECT_EQ(MxList(resolver.QueryResult()), expected);
}

TEST_F(IdDNSResolver, ServerGivenByAddressOrNameWithOrWithoutPort) {
  fake.AddMx("example.test", {{10, "127.0.0.2"}});
  const std::string port = std::to_string(fake.Port());
  struct Case {
    std::string host;
    int portField;
  } cases[] = {{"127.0.0.1:" + port, 53}, {"localhost:" + port, 53}, {"127.0.0.1", fake.Port()}};
  for (const auto& c : cases) {
    resolver.Host = c.host;
    resolver.Port = c.portField;
    resolver.ClearResults();
    EXPECT_NO_THROW(resolver.Resolve("example.test")) << c.host;
    EXPECT_EQ(resolver.QueryResult().OfType<TMXRecord>().size(), 1u) << c.host;
  }
}

TEST_F(IdDNSResolver, ResultsHoldTheLastSuccessfulAnswer) {
  fake.AddMx("example.test", {{10, "127.0.0.2"}});
  fake.AddRcode("broken.test", 2);
  resolver.Resolve("example.test");
  EXPECT_EQ(Failure("broken.test"), "DNS Server Reports Query Server Error");
  EXPECT_TRUE(resolver.QueryResult().Empty());  // emptied before the failed query

  resolver.Resolve("example.test");
  EXPECT_THROW(resolver.Resolve("broken.test"), EIdDnsResolverError);
  EXPECT_EQ(resolver.QueryResult().Count(), 1u);  // not emptied: the earlier records stay
}

TEST_F(IdDNSResolver, SocketFailuresAreSocketErrors) {
  TIdDNSResolver inactive;
  inactive.Host = fake.Address();
  inactive.QueryRecords = TQueryRecordTypes{qtMX};
  EXPECT_THROW(inactive.Resolve("example.test"), ESocketError);

  resolver.Host = "";
  EXPECT_THROW(resolver.Resolve("example.test"), ESocketError);
}

}  // namespace
