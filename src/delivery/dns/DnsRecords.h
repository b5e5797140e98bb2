// The records decoded from a DNS answer: a common record with the fields
// every resource record has, one subclass per type we decode further, and
// the ordered result of one query.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DnsPacketReader;

// A resource record of a type we do not decode further.
class TResultRecord {
 public:
  virtual ~TResultRecord() = default;

  std::string Name;       // owner name
  uint16_t Type = 0;      // TYPE code, e.g. 15 for MX
  uint16_t RecClass = 0;  // CLASS, 1 for IN
  uint32_t TTL = 0;
  uint16_t RDLength = 0;
  std::string RData;  // the raw RDATA bytes

  // Decodes the type-specific fields from a reader limited to RDATA.
  virtual void DecodeData(DnsPacketReader&) {}
};

class TARecord : public TResultRecord {
 public:
  std::string IPAddress;  // "%d.%d.%d.%d"
  void DecodeData(DnsPacketReader& rdata) override;
};

// NS, CNAME and PTR records carry one host name.
class THostNameRecord : public TResultRecord {
 public:
  std::string HostName;
  void DecodeData(DnsPacketReader& rdata) override;
};
class TNSRecord : public THostNameRecord {};
class TNAMERecord : public THostNameRecord {};
class TPTRRecord : public THostNameRecord {};

class TSOARecord : public TResultRecord {
 public:
  std::string Primary;            // MNAME
  std::string ResponsiblePerson;  // RNAME
  uint32_t Serial = 0;
  uint32_t Refresh = 0;
  uint32_t Retry = 0;
  uint32_t Expire = 0;
  uint32_t MinimumTTL = 0;
  void DecodeData(DnsPacketReader& rdata) override;
};

class TWKSRecord : public TResultRecord {
 public:
  std::string Address;  // dotted IPv4
  uint8_t Protocol = 0;
  std::string BitMap;  // one bit per port, as sent
  void DecodeData(DnsPacketReader& rdata) override;
};

class THINFORecord : public TResultRecord {
 public:
  std::string CPU;
  std::string OS;
  void DecodeData(DnsPacketReader& rdata) override;
};

class TMINFORecord : public TResultRecord {
 public:
  std::string ResponsibleMailbox;  // RMAILBX
  std::string ErrorMailbox;        // EMAILBX
  void DecodeData(DnsPacketReader& rdata) override;
};

class TMXRecord : public TResultRecord {
 public:
  uint16_t Preference = 0;
  std::string ExchangeServer;
  void DecodeData(DnsPacketReader& rdata) override;
};

class TTextRecord : public TResultRecord {
 public:
  std::vector<std::string> Texts;
  void DecodeData(DnsPacketReader& rdata) override;
};

// The record object for a TYPE code: the subclass for the types above, the
// plain record for any other.
std::unique_ptr<TResultRecord> MakeResultRecord(uint16_t type);

// The records of one answer in the order they stood in it (answer,
// authority and additional sections alike), and the question it echoed.
class TQueryResult {
 public:
  using Records = std::vector<std::unique_ptr<TResultRecord>>;

  std::string QName;
  uint16_t QType = 0;
  uint16_t QClass = 0;

  std::size_t Count() const { return records_.size(); }
  bool Empty() const { return records_.empty(); }
  const TResultRecord& operator[](std::size_t index) const { return *records_.at(index); }
  Records::const_iterator begin() const { return records_.begin(); }
  Records::const_iterator end() const { return records_.end(); }

  // The records of one class, in order; e.g. OfType<TMXRecord>().
  template <typename Record>
  std::vector<const Record*> OfType() const {
    std::vector<const Record*> found;
    for (const auto& record : records_)
      if (auto* wanted = dynamic_cast<const Record*>(record.get())) found.push_back(wanted);
    return found;
  }

  void Add(std::unique_ptr<TResultRecord> record) { records_.push_back(std::move(record)); }
  void Clear();

 private:
  Records records_;
};
