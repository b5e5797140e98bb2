#include "delivery/dns/DnsAnswerDecoder.h"

#include <string>

#include "delivery/dns/DnsPacketReader.h"
#include "delivery/dns/IdDnsResolverError.h"
#include "platform/BigEndian.h"

namespace {

using big_endian::U16At;
using dns_text::WithNumber;

[[noreturn]] void Raise(std::string_view text) { throw EIdDnsResolverError(std::string(text)); }

void CheckAnswer(std::string_view answer, uint16_t queryId, std::size_t queryLength, TDNSHeader& header) {
  if (answer.size() < 5) Raise(dns_text::kTimedOut);
  header.ID = U16At(answer, 0);
  if (header.ID != queryId) Raise(WithNumber(dns_text::kInvalidHeaderId, queryId));
  header.Flags = U16At(answer, 2);
  if (header.RCode() != 0) Raise(dns_text::RcodeText(header.RCode()));
  if (answer.size() < TDNSHeader::kSize)
    Raise(WithNumber(dns_text::kPacketTooSmall, dns_text::kShorterThanHeader));
  if (answer.size() < queryLength) Raise(WithNumber(dns_text::kPacketTooSmall, dns_text::kShorterThanQuery));
  header = TDNSHeader::Decode(answer);
}

// Owner name, TYPE, CLASS, TTL, RDLENGTH, then RDATA decoded by type.
std::unique_ptr<TResultRecord> ReadRecord(DnsPacketReader& reader) {
  std::string name = reader.Name();
  const uint16_t type = reader.U16();
  const uint16_t recClass = reader.U16();
  const uint32_t ttl = reader.U32();
  const uint16_t length = reader.U16();
  DnsPacketReader rdata = reader.Sub(length);
  if (!reader.Ok()) return nullptr;

  auto record = MakeResultRecord(type);
  record->Name = std::move(name);
  record->Type = type;
  record->RecClass = recClass;
  record->TTL = ttl;
  record->RDLength = length;
  record->RData = DnsPacketReader(rdata).Rest();
  record->DecodeData(rdata);
  if (!rdata.Ok()) reader.Fail(rdata.Error());
  return record;
}

}  // namespace

void DecodeDnsAnswer(std::string_view answer, uint16_t queryId, std::size_t queryLength, TDNSHeader& header,
                     TQueryResult& result) {
  CheckAnswer(answer, queryId, queryLength, header);
  const long records = long{header.ANCount} + header.NSCount + header.ARCount;
  if (records == 0 || answer.size() == TDNSHeader::kSize) return;

  DnsPacketReader reader(answer, TDNSHeader::kSize);
  // Every question the answer echoes is passed over so the records are read
  // from where they start; the first one is kept.
  for (int n = 0; n < header.QDCount && reader.Ok(); ++n) {
    std::string name = reader.Name();
    const uint16_t type = reader.U16();
    const uint16_t qclass = reader.U16();
    if (n == 0) {
      result.QName = std::move(name);
      result.QType = type;
      result.QClass = qclass;
    }
  }
  for (long n = 0; n < records && reader.Ok(); ++n) {
    auto record = ReadRecord(reader);
    if (reader.Ok()) result.Add(std::move(record));
  }
  if (!reader.Ok()) Raise(reader.Error());
}
