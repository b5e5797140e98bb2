// Feeds arbitrary datagrams to the DNS answer decoder as if they were the
// answer to a query: it must fail cleanly or decode records whose fields
// stay consistent, never crash, hang or read outside the datagram.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "delivery/dns/DnsAnswerDecoder.h"
#include "delivery/dns/DnsPacketReader.h"
#include "delivery/dns/DnsRecords.h"
#include "delivery/dns/IdDnsResolverError.h"
#include "platform/BigEndian.h"

namespace {

// The length of an MX query for "example.com", a typical one to check against.
constexpr std::size_t kQueryLength = 29;
// Names are also read from the first offsets on their own, to reach the name
// decoder from places the record walk would not.
constexpr std::size_t kNameOffsets = 48;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void WalkRecords(const TQueryResult& result, std::size_t size) {
  for (const auto& record : result) {
    Check(record->RData.size() == record->RDLength);
    Check(record->Name.size() <= size);
    if (auto* mx = dynamic_cast<const TMXRecord*>(record.get())) Check(mx->ExchangeServer.size() <= size);
    if (auto* text = dynamic_cast<const TTextRecord*>(record.get()))
      Check(text->Texts.size() <= record->RDLength);
    if (auto* soa = dynamic_cast<const TSOARecord*>(record.get()))
      Check(soa->Primary.size() + soa->ResponsiblePerson.size() <= 2 * size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  // Take the ID from the datagram itself so most inputs get past the ID check.
  const uint16_t id = size >= 2 ? big_endian::U16At(answer, 0) : 0;
  TDNSHeader header;
  TQueryResult result;
  try {
    DecodeDnsAnswer(answer, id, kQueryLength, header, result);
  } catch (const EIdDnsResolverError&) {
  }
  WalkRecords(result, size);

  for (std::size_t offset = 0; offset < size && offset < kNameOffsets; ++offset) {
    DnsPacketReader reader(answer, offset);
    const std::string name = reader.Name();
    Check(name.size() <= size);
    Check(reader.Ok() ? reader.Position() <= size && reader.Position() > offset : name.empty());
  }
  return 0;
}
