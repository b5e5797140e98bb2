#include "delivery/dns/DnsRecords.h"

#include "delivery/dns/DnsPacketReader.h"

namespace {

std::string DottedQuad(DnsPacketReader& rdata) {
  std::string text;
  for (int n = 0; n < 4; ++n) {
    if (n) text += '.';
    text += std::to_string(rdata.U8());
  }
  return rdata.Ok() ? text : std::string();
}

}  // namespace

void TARecord::DecodeData(DnsPacketReader& rdata) { IPAddress = DottedQuad(rdata); }

void THostNameRecord::DecodeData(DnsPacketReader& rdata) { HostName = rdata.Name(); }

void TSOARecord::DecodeData(DnsPacketReader& rdata) {
  Primary = rdata.Name();
  ResponsiblePerson = rdata.Name();
  Serial = rdata.U32();
  Refresh = rdata.U32();
  Retry = rdata.U32();
  Expire = rdata.U32();
  MinimumTTL = rdata.U32();
}

void TWKSRecord::DecodeData(DnsPacketReader& rdata) {
  Address = DottedQuad(rdata);
  Protocol = rdata.U8();
  BitMap = rdata.Rest();
}

void THINFORecord::DecodeData(DnsPacketReader& rdata) {
  CPU = rdata.CharacterString();
  OS = rdata.CharacterString();
}

void TMINFORecord::DecodeData(DnsPacketReader& rdata) {
  ResponsibleMailbox = rdata.Name();
  ErrorMailbox = rdata.Name();
}

void TMXRecord::DecodeData(DnsPacketReader& rdata) {
  Preference = rdata.U16();
  ExchangeServer = rdata.Name();
}

void TTextRecord::DecodeData(DnsPacketReader& rdata) {
  while (rdata.Ok() && rdata.Remaining() > 0) Texts.push_back(rdata.CharacterString());
}

std::unique_ptr<TResultRecord> MakeResultRecord(uint16_t type) {
  switch (type) {
    case 1:
      return std::make_unique<TARecord>();
    case 2:
      return std::make_unique<TNSRecord>();
    case 5:
      return std::make_unique<TNAMERecord>();
    case 6:
      return std::make_unique<TSOARecord>();
    case 11:
      return std::make_unique<TWKSRecord>();
    case 12:
      return std::make_unique<TPTRRecord>();
    case 13:
      return std::make_unique<THINFORecord>();
    case 14:
      return std::make_unique<TMINFORecord>();
    case 15:
      return std::make_unique<TMXRecord>();
    case 16:
      return std::make_unique<TTextRecord>();
    default:
      return std::make_unique<TResultRecord>();
  }
}

void TQueryResult::Clear() {
  records_.clear();
  QName.clear();
  QType = 0;
  QClass = 0;
}
