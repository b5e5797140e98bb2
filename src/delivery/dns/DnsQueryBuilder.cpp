#include "delivery/dns/DnsQueryBuilder.h"

#include <algorithm>
#include <vector>

#include "delivery/dns/IdDnsResolverError.h"
#include "platform/AsciiText.h"
#include "platform/BigEndian.h"

namespace {

constexpr std::size_t kMaxLabel = 63;
constexpr std::size_t kMaxName = 255;
constexpr uint16_t kClassIN = 1;

std::vector<std::string_view> Labels(std::string_view domain) {
  std::vector<std::string_view> labels;
  std::size_t start = 0;
  for (;;) {
    std::size_t dot = domain.find('.', start);
    if (dot == std::string_view::npos) break;
    labels.push_back(domain.substr(start, dot - start));
    start = dot + 1;
  }
  if (start < domain.size()) labels.push_back(domain.substr(start));  // a trailing dot adds nothing
  return labels;
}

bool ContainsInAddr(std::string_view name) {
  return ascii::FindNoCase(name, "in-addr") != std::string_view::npos;
}

}  // namespace

std::string EncodeDomainName(std::string_view domain) {
  std::string wire;
  // The root alone is one zero byte.
  if (domain != ".") {
    for (std::string_view label : Labels(domain)) {
      if (label.size() > kMaxLabel) throw EIdDnsResolverError(std::string(dns_text::kInvalidDomainName));
      wire.push_back(static_cast<char>(label.size()));
      wire.append(label);
    }
  }
  wire.push_back('\0');
  if (wire.size() > kMaxName) throw EIdDnsResolverError(std::string(dns_text::kInvalidDomainName));
  return wire;
}

std::string ReverseLookupName(std::string_view domain) {
  if (ContainsInAddr(domain)) return std::string(domain);
  auto labels = Labels(domain);
  std::string name;
  for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
    name.append(*label);
    name += '.';
  }
  return name + "in-addr.arpa";
}

std::string BuildDnsQuery(const TDNSHeader& header, TQueryRecordTypes types, std::string_view domain) {
  std::string query = header.Encode();
  for (TQueryRecordType type : types.InOrder()) {
    query += type == qtPTR ? EncodeDomainName(ReverseLookupName(domain)) : EncodeDomainName(domain);
    big_endian::AppendU16(query, QueryTypeCode(type));
    big_endian::AppendU16(query, kClassIN);
  }
  return query;
}
