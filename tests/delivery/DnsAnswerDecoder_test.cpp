// Decoding of whole answers served over loopback: every record type,
// compression, and hostile answers that must fail without looping or
// reading outside the datagram.
#include <gtest/gtest.h>

#include "delivery/dns/IdDNSResolver.h"
#include "support/DnsResolverFixture.h"
#include "support/FakeDnsServer.h"

using namespace std::string_literals;
using testing_support::FakeDnsServer;

namespace {

// The domain every answer here is for; its question sits at offset 12 and
// the first record starts at offset 30.
constexpr const char* kDomain = "hostile.test";
constexpr int kQuestion = 12;

std::string U16(uint16_t value) { return FakeDnsServer::U16(value); }
std::string U32(uint32_t value) { return FakeDnsServer::U32(value); }
std::string Pointer(int offset) { return U16(static_cast<uint16_t>(0xC000 | offset)); }

// Header with the given counts (ID filled in by the fake), then the question.
std::string Start(uint16_t an, uint16_t ns = 0, uint16_t ar = 0, uint16_t flags = 0x8180) {
  return FakeDnsServer::Header(0, flags, 1, an, ns, ar) + FakeDnsServer::Name(kDomain) + U16(15) + U16(1);
}

// A record: owner, TYPE, CLASS IN, TTL 60, RDLENGTH of rdata, rdata.
std::string Rr(const std::string& owner, uint16_t type, const std::string& rdata) {
  return owner + U16(type) + U16(1) + U32(60) + U16(static_cast<uint16_t>(rdata.size())) + rdata;
}

class DnsAnswerDecoder : public testing_support::DnsResolverFixture {
 protected:
  // Serves the bytes as the answer and returns the failure text, or "no failure".
  std::string Serve(const std::string& answer) {
    fake.AddRaw(kDomain, answer);
    resolver.ClearResults();
    try {
      resolver.Resolve(kDomain);
    } catch (const EIdDnsResolverError& failure) {
      return failure.what();
    }
    return "no failure";
  }
};

TEST_F(DnsAnswerDecoder, CompressionPointingIntoTheQuestion) {
  // mx1: a label then a pointer to the question; mx2: a label then a pointer
  // to mx1's name (a chain); mx3: the question's name itself.
  std::string answer = Start(3, 0, 0, 0x8380 /* truncated: not examined */);
  const int mx1Name = static_cast<int>(answer.size()) + 12 + 2;  // owner 2 + fixed 10 + preference 2
  answer += Rr(Pointer(kQuestion), 15, U16(10) + "\x03mx1" + Pointer(kQuestion));
  answer += Rr(Pointer(kQuestion), 15,
               U16(20) +
                   "\x06"
                   "backup" +
                   Pointer(mx1Name));
  answer += Rr(Pointer(kQuestion), 15, U16(30) + Pointer(kQuestion));
  ASSERT_EQ(Serve(answer), "no failure");
  auto mx = resolver.QueryResult().OfType<TMXRecord>();
  ASSERT_EQ(mx.size(), 3u);
  EXPECT_EQ(mx[0]->ExchangeServer, "mx1.hostile.test");
  EXPECT_EQ(mx[1]->ExchangeServer, "backup.mx1.hostile.test");
  EXPECT_EQ(mx[2]->ExchangeServer, "hostile.test");
  EXPECT_EQ(mx[1]->Preference, 20);
  EXPECT_EQ(mx[0]->Name, "hostile.test");
  EXPECT_EQ(mx[0]->RDLength, 8);
  EXPECT_EQ(mx[0]->RData, U16(10) + "\x03mx1" + Pointer(kQuestion));
}

TEST_F(DnsAnswerDecoder, EveryRecordTypeInAllThreeSections) {
  const std::string q = Pointer(kQuestion);
  std::string answer = Start(4, 2, 5);
  answer += Rr(q, 1, "\xC0\x00\x02\x01"s);  // A
  answer += Rr(q, 5,
               "\x05"
               "alias" +
                   q);                         // CNAME
  answer += Rr(q, 15, U16(5) + "\x02mx" + q);  // MX
  answer += Rr(q, 16,
               "\x05hello\x00\x03"
               "abc"s);               // TXT: three texts
  answer += Rr(q, 2, "\x03ns1" + q);  // NS
  answer += Rr(q, 6,
               "\x03ns1" + q +
                   "\x05"
                   "admin" +
                   q + U32(1) + U32(2) + U32(3) + U32(4) + U32(5));  // SOA
  answer += Rr(Pointer(kQuestion), 12, "\x04host" + q);              // PTR
  answer += Rr(q, 13, "\x04i386\x05linux");                          // HINFO
  answer += Rr(q, 14,
               "\x04rbox" + q +
                   "\x04"
                   "ebox" +
                   q);                                   // MINFO
  answer += Rr(q, 11, "\x0A\x00\x00\x01\x06\x00\x40"s);  // WKS
  answer += Rr(q, 28, std::string(16, '\x01'));          // AAAA: kept plain
  ASSERT_EQ(Serve(answer), "no failure");

  const TQueryResult& result = resolver.QueryResult();
  ASSERT_EQ(result.Count(), 11u);
  const std::vector<uint16_t> types = {1, 5, 15, 16, 2, 6, 12, 13, 14, 11, 28};
  for (std::size_t n = 0; n < types.size(); ++n) EXPECT_EQ(result[n].Type, types[n]) << "record " << n;

  EXPECT_EQ(dynamic_cast<const TARecord&>(result[0]).IPAddress, "192.0.2.1");
  EXPECT_EQ(dynamic_cast<const TNAMERecord&>(result[1]).HostName, "alias.hostile.test");
  EXPECT_EQ(dynamic_cast<const TMXRecord&>(result[2]).ExchangeServer, "mx.hostile.test");
  EXPECT_EQ(dynamic_cast<const TTextRecord&>(result[3]).Texts,
            (std::vector<std::string>{"hello", "", "abc"}));
  EXPECT_EQ(dynamic_cast<const TNSRecord&>(result[4]).HostName, "ns1.hostile.test");
  const auto& soa = dynamic_cast<const TSOARecord&>(result[5]);
  EXPECT_EQ(soa.Primary + " " + soa.ResponsiblePerson, "ns1.hostile.test admin.hostile.test");
  EXPECT_EQ(std::vector<uint32_t>({soa.Serial, soa.Refresh, soa.Retry, soa.Expire, soa.MinimumTTL}),
            std::vector<uint32_t>({1, 2, 3, 4, 5}));
  EXPECT_EQ(dynamic_cast<const TPTRRecord&>(result[6]).HostName, "host.hostile.test");
  const auto& hinfo = dynamic_cast<const THINFORecord&>(result[7]);
  EXPECT_EQ(hinfo.CPU + "/" + hinfo.OS, "i386/linux");
  const auto& minfo = dynamic_cast<const TMINFORecord&>(result[8]);
  EXPECT_EQ(minfo.ResponsibleMailbox + " " + minfo.ErrorMailbox, "rbox.hostile.test ebox.hostile.test");
  const auto& wks = dynamic_cast<const TWKSRecord&>(result[9]);
  EXPECT_EQ(wks.Address, "10.0.0.1");
  EXPECT_EQ(wks.Protocol, 6);
  EXPECT_EQ(wks.BitMap, "\x00\x40"s);
  EXPECT_EQ(typeid(result[10]), typeid(TResultRecord));
  EXPECT_EQ(result[10].RData, std::string(16, '\x01'));
}

TEST_F(DnsAnswerDecoder, EmptyAnswersSucceedWithNoRecords) {
  const std::string cases[] = {
      Start(0),                                   // no records announced
      Start(0) + Rr(Pointer(kQuestion), 15, ""),  // a record present but not announced
  };
  for (const auto& answer : cases) {
    EXPECT_EQ(Serve(answer), "no failure");
    EXPECT_TRUE(resolver.QueryResult().Empty());
  }
}

TEST_F(DnsAnswerDecoder, HostileAnswersFailTheQuery) {
  const std::string mx = U16(10) + "\x02mx" + Pointer(kQuestion);
  struct Case {
    std::string what;
    std::string answer;
    std::string expected;  // a prefix of the failure text
  } cases[] = {
      {"pointer to itself", Start(1) + Pointer(30) + U16(15) + U16(1) + U32(60) + U16(0),
       "Invalid Name Pointer 30"},
      {"two pointers pointing at each other", Start(1) + Pointer(32) + Pointer(30) + std::string(10, '\0'),
       "Invalid Name Pointer"},
      {"label and pointer back to it",
       Start(1) +
           "\x01"
           "a" +
           Pointer(30) + std::string(10, '\0'),
       "Invalid Name Pointer"},
      {"loop inside an exchange name", Start(1) + Rr(Pointer(kQuestion), 15, U16(10) + Pointer(44)),
       "Invalid Name Pointer 44"},
      {"pointer past the end", Start(1) + Rr(Pointer(kQuestion), 15, U16(10) + Pointer(0x3FFF)),
       "Invalid Packet Size 2"},
      {"pointer cut after its first byte", Start(1) + "\xC0", "Invalid Packet Size 3"},
      {"label past the end",
       Start(1) + "\x10"
                  "abc",
       "Invalid Packet Size 3"},
      {"label in RDATA past the end",
       Start(1) + Pointer(kQuestion) + U16(15) + U16(1) + U32(60) + U16(4) + U16(10) +
           "\x3F"
           "x",
       "Invalid Packet Size 3"},
      {"more records announced than sent", Start(2) + Rr(Pointer(kQuestion), 15, mx),
       "Invalid Packet Size 2"},
      {"name without its closing zero", Start(1) + "\x02mx", "Invalid Packet Size 2"},
      {"record fields cut short", Start(1) + Pointer(kQuestion) + U16(15) + U16(1) + U16(0),
       "Invalid Packet Size 4"},
      {"RDATA longer than the datagram",
       Start(1) + Pointer(kQuestion) + U16(15) + U16(1) + U32(60) + U16(200) + mx, "Invalid Packet Size 4"},
      {"MX preference cut", Start(1) + Rr(Pointer(kQuestion), 15, "\x01"), "Invalid Packet Size 4"},
      {"exchange name running past its RDATA",
       Start(1) + Rr(Pointer(kQuestion), 15, U16(10) + "\x02") + "mx" + Pointer(kQuestion),
       "Invalid Packet Size 4"},
      {"A record too short", Start(1) + Rr(Pointer(kQuestion), 1, "\x7F\x00"), "Invalid Packet Size 4"},
      {"SOA numbers cut",
       Start(0, 1) + Rr(Pointer(kQuestion), 6, Pointer(kQuestion) + Pointer(kQuestion) + U32(1)),
       "Invalid Packet Size 4"},
      {"TXT string longer than its record",
       Start(1) +
           Rr(Pointer(kQuestion), 16,
              "\x05"
              "ab") +
           "cdefgh",
       "Invalid Packet Size 4"},
      {"HINFO missing its second text", Start(1) + Rr(Pointer(kQuestion), 13, "\x03x86"),
       "Invalid Packet Size 4"},
      {"good record, then a broken one",
       Start(2) + Rr(Pointer(kQuestion), 15, mx) + Rr(Pointer(kQuestion), 15, U16(10) + Pointer(4000)),
       "Invalid Packet Size 2"},
  };
  for (const auto& c : cases) {
    const std::string got = Serve(c.answer);
    EXPECT_EQ(got.substr(0, c.expected.size()), c.expected) << c.what << ": got \"" << got << "\"";
    EXPECT_TRUE(resolver.QueryResult().Empty()) << c.what;
  }
}

TEST_F(DnsAnswerDecoder, QuestionsPastTheFirstArePassedOver) {
  // An answer echoing two questions: the records start after both.
  std::string answer = FakeDnsServer::Header(0, 0x8180, 2, 1, 0, 0) + FakeDnsServer::Name(kDomain) + U16(15) +
                       U16(1) + Pointer(kQuestion) + U16(1) + U16(1) +
                       Rr(Pointer(kQuestion), 15, U16(7) + "\x02mx" + Pointer(kQuestion));
  ASSERT_EQ(Serve(answer), "no failure");
  auto mx = resolver.QueryResult().OfType<TMXRecord>();
  ASSERT_EQ(mx.size(), 1u);
  EXPECT_EQ(mx[0]->ExchangeServer, "mx.hostile.test");
  EXPECT_EQ(resolver.QueryResult().QType, 15);
}

}  // namespace
