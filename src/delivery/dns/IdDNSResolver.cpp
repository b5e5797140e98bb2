#include "delivery/dns/IdDNSResolver.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <random>

#include "delivery/dns/DnsAnswerDecoder.h"
#include "delivery/dns/DnsQueryBuilder.h"
#include "platform/NetAddress.h"

namespace {

// Every query gets an ID an off-path sender cannot predict, from the
// kernel's random source.
uint16_t DrawQueryId() {
  uint16_t id = 0;
  for (;;) {
    ssize_t n = getrandom(&id, sizeof id, 0);
    if (n == static_cast<ssize_t>(sizeof id)) return id;
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  std::random_device device;  // the same kernel source on Linux, by another path
  return static_cast<uint16_t>(device());
}

// Splits "host:port"; a text whose part after the last ":" is no port number
// is all host.
void SplitHostPort(const std::string& text, std::string& host, int& port) {
  host = text;
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return;
  int value = 0;
  const char* first = text.data() + colon + 1;
  const char* last = text.data() + text.size();
  auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last || value < 1 || value > 65535) return;
  host = text.substr(0, colon);
  port = value;
}

bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

}  // namespace

void TIdDNSResolver::Activate() {
  if (!socket_.IsOpen()) socket_.Open();
}

sockaddr_in TIdDNSResolver::ServerAddress() const {
  std::string host;
  int port = Port;
  SplitHostPort(Host, host, port);
  return os::HostAddress(host, static_cast<uint16_t>(port));
}

void TIdDNSResolver::Resolve(const std::string& domain) {
  TDNSHeader header;
  header.ID = DrawQueryId();
  header.Flags = AllowRecursiveQueries ? TDNSHeader::kFlagRD : 0;
  header.QDCount = static_cast<uint16_t>(QueryRecords.Count());
  header_ = header;
  answerHeader_ = TDNSHeader();
  query_.clear();
  if (header.QDCount == 0) throw EIdDnsResolverError(dns_text::WithNumber(dns_text::kInvalidQueryCount, 0));
  query_ = BuildDnsQuery(header, QueryRecords, domain);

  const sockaddr_in server = ServerAddress();
  DropPendingDatagrams();
  socket_.SendTo(server, query_);
  const std::string answer = ReceiveAnswer(server);

  TQueryResult decoded;
  DecodeDnsAnswer(answer, header.ID, query_.size(), answerHeader_, decoded);
  results_ = std::move(decoded);
}

// Anything already queued was sent before this query existed, such as the
// late answer to an earlier query that timed out; it cannot be this answer.
void TIdDNSResolver::DropPendingDatagrams() {
  constexpr int kMostDropped = 256;
  for (int n = 0; n < kMostDropped && socket_.Receive(0, 0); ++n) {
  }
}

// The first datagram from the server within the time limit, or empty text.
// Datagrams from any other address or port are dropped unread: they cannot
// be the answer, and accepting them would let anyone who guesses the ID
// forge one.
std::string TIdDNSResolver::ReceiveAnswer(const sockaddr_in& server) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ReceiveTimeout, 0));
  const std::size_t maxSize = static_cast<std::size_t>(std::max(BufferSize, 0));
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    auto datagram = socket_.Receive(static_cast<int>(std::max<long long>(left, 0)), maxSize);
    if (!datagram) return {};
    if (SameEndpoint(datagram->from, server)) return std::move(datagram->bytes);
    if (Clock::now() >= deadline) return {};
  }
}
