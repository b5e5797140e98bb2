// Query bytes for names and record type sets, without a socket.
#include "delivery/dns/DnsQueryBuilder.h"

#include <gtest/gtest.h>

#include "delivery/dns/IdDnsResolverError.h"

namespace {

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

TEST(DnsQueryBuilder, RecordTypeSetIsAMask) {
  EXPECT_EQ(TQueryRecordTypes{qtMX}.Mask(), 0x4000u);
  EXPECT_EQ((TQueryRecordTypes{qtA, qtSTAR}.Mask()), 0x10001u);
  EXPECT_EQ(TQueryRecordTypes::FromMask(0xFFFFFFFF).Count(), 17);
  EXPECT_EQ(QueryTypeCode(qtMX), 15);
  EXPECT_EQ(QueryTypeCode(qtTXT), 16);
  EXPECT_EQ(QueryTypeCode(qtSTAR), 255);
}

TEST(DnsQueryBuilder, QueryBytes) {
  struct Case {
    std::string domain;
    TQueryRecordTypes types;
    uint16_t flags;
    std::string expectedHex;  // after the header
  } cases[] = {
      {"example.test",
       {qtMX},
       0x0100,
       "076578616d706c650474657374"
       "00"
       "000f0001"},
      {"example.test.",
       {qtMX},
       0x0100,
       "076578616d706c650474657374"
       "00"
       "000f0001"},  // trailing dot adds nothing
      {"a..b",
       {qtMX},
       0x0100,
       "0161"
       "00"
       "0162"
       "00"
       "000f0001"},  // empty label is a zero byte
      {"x",
       {qtMX},
       0x0000,
       "0178"
       "00"
       "000f0001"},  // no recursion wanted
      {"",
       {qtMX},
       0x0100,
       "00"
       "000f0001"},  // the root
      {"x",
       {qtMX, qtA},
       0x0100,
       "017800"
       "00010001"
       "017800"
       "000f0001"},  // in type order
      {"192.0.2.1",
       {qtPTR},
       0x0100,
       "0131013201300331393207696e2d61646472046172706100"
       "000c0001"},
      {"1.2.0.192.in-addr.arpa",
       {qtPTR},
       0x0100,
       "0131013201300331393207696e2d61646472046172706100"
       "000c0001"},
  };
  for (const auto& c : cases) {
    TDNSHeader header;
    header.ID = 0xBEEF;
    header.Flags = c.flags;
    header.QDCount = static_cast<uint16_t>(c.types.Count());
    const std::string query = BuildDnsQuery(header, c.types, c.domain);
    char expectedHeader[32];
    std::snprintf(expectedHeader, sizeof expectedHeader, "beef%04x%04x000000000000", c.flags,
                  c.types.Count());
    EXPECT_EQ(Hex(query), expectedHeader + c.expectedHex) << "domain \"" << c.domain << "\"";
  }
}

TEST(DnsQueryBuilder, NamesNoLengthByteCanCarryAreRefused) {
  const std::string label63(63, 'a');
  const std::string label64(64, 'a');
  EXPECT_EQ(EncodeDomainName(label63 + ".test").size(), 1 + 63 + 1 + 4 + 1u);
  // 4 labels of 63 make 256 bytes on the wire, one too many.
  const std::string tooLong = label63 + "." + label63 + "." + label63 + "." + label63;
  for (const std::string& domain : {label64 + ".test", std::string(300, 'b'), tooLong}) {
    try {
      EncodeDomainName(domain);
      ADD_FAILURE() << "accepted a name of " << domain.size() << " characters";
    } catch (const EIdDnsResolverError& failure) {
      EXPECT_STREQ(failure.what(), "Invalid Domain Name");
    }
  }
  EXPECT_EQ(EncodeDomainName(label63 + "." + label63 + "." + label63 + "." + std::string(61, 'a')).size(),
            255u);
}

}  // namespace
