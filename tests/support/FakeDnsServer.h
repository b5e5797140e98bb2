// A scriptable DNS server on UDP 127.0.0.1 with an ephemeral port, for tests
// and benchmarks: it answers each domain as told (MX lists, SOA-only, RCODE
// errors, a wrong ID, silence, forged answers from elsewhere, raw bytes) and
// records every query it receives.
//
//   FakeDnsServer fake;
//   fake.AddMx("example.test", {{10, "127.0.0.2"}, {20, "127.0.0.3"}});
//   resolver.Host = fake.Address();  // "127.0.0.1:PORT"
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Fd.h"

namespace testing_support {

class FakeDnsServer {
 public:
  struct Mx {
    uint16_t preference = 0;
    std::string exchange;
  };

  // One query as received.
  struct Query {
    std::string bytes;
    uint16_t id = 0;
    uint16_t flags = 0;
    std::string name;  // the first question's name, as sent (no trailing dot)
    uint16_t type = 0;
    uint16_t qclass = 0;
    std::size_t questionEnd = 0;  // offset just past the first question
    uint16_t fromPort = 0;
  };

  // Where an answer datagram is sent from.
  enum class Source { Server, OtherPort, OtherAddress /* 127.0.0.2, the server's port */ };
  struct Datagram {
    std::string bytes;
    Source from = Source::Server;
    int delayMs = 0;  // waited before sending, on the server's thread
  };
  using Script = std::function<std::vector<Datagram>(const Query&)>;

  FakeDnsServer();
  ~FakeDnsServer();
  FakeDnsServer(const FakeDnsServer&) = delete;
  FakeDnsServer& operator=(const FakeDnsServer&) = delete;

  std::string Address() const;  // "127.0.0.1:PORT"
  uint16_t Port() const { return port_; }

  // How a domain is answered (names match without regard to case or a
  // trailing dot; a later call for a domain replaces the earlier one).
  // Domains never added get RCODE 3, name error.
  void AddMx(const std::string& domain, std::vector<Mx> exchanges);
  void AddSoaOnly(const std::string& domain);
  void AddRcode(const std::string& domain, int rcode);
  void AddWrongId(const std::string& domain, std::vector<Mx> exchanges = {});  // ID is the query's plus one
  void AddSilence(const std::string& domain);
  // An MX answer with a later delay, e.g. one that arrives after the time limit.
  void AddDelayedMx(const std::string& domain, std::vector<Mx> exchanges, int delayMs);
  // A forged answer with the right ID from `from`, then the genuine one if given.
  void AddSpoofed(const std::string& domain, std::vector<Mx> forged, std::optional<std::vector<Mx>> genuine,
                  Source from = Source::OtherPort);
  // These bytes as the answer; with `withQueryId` their first two bytes
  // become the query's ID (when there are two).
  void AddRaw(const std::string& domain, std::string bytes, bool withQueryId = true);
  void AddScript(const std::string& domain, Script script);

  std::vector<Query> Queries() const;
  std::size_t QueryCount() const;
  bool WaitForQueries(std::size_t count, int timeoutMs = 5000) const;
  void ClearQueries();

  // Building blocks for answers.
  static std::string Name(std::string_view domain);  // wire labels, no compression
  static std::string Header(uint16_t id, uint16_t flags, uint16_t qd, uint16_t an, uint16_t ns, uint16_t ar);
  static std::string U16(uint16_t value);
  static std::string U32(uint32_t value);
  // Header (QR, RD, RA and the RCODE) and the query's question, counts as given.
  static std::string AnswerStart(const Query& query, int rcode, uint16_t an, uint16_t ns, uint16_t ar);
  // The question's name, then TYPE, CLASS IN, TTL and RDATA.
  static std::string Record(uint16_t type, std::string_view rdata);
  // An MX answer; exchange names inside the question's domain are
  // compressed with a pointer into the question, as real servers do.
  static std::string MxAnswer(const Query& query, const std::vector<Mx>& exchanges);
  static std::string SoaOnlyAnswer(const Query& query);
  static std::string RcodeAnswer(const Query& query, int rcode);
  // A domain as the server matches it: lower case, no trailing dot.
  static std::string Key(std::string_view domain);

 private:
  void Serve();
  void Answer(const Query& query, const sockaddr_in& to);

  os::Fd socket_;
  os::Fd otherPort_;
  os::Fd otherAddress_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  mutable std::condition_variable queried_;
  std::map<std::string, Script> scripts_;
  std::vector<Query> queries_;
  std::thread thread_;
};

}  // namespace testing_support
