#include "support/FakeDnsServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>

#include "platform/BigEndian.h"
#include "platform/NetAddress.h"

namespace testing_support {
namespace {

using big_endian::U16At;

constexpr uint16_t kTypeSoa = 6;
constexpr uint16_t kTypeMx = 15;
constexpr uint16_t kAnswerFlags = 0x8180;  // QR, RD, RA
constexpr std::string_view kPointerToQuestion = "\xC0\x0C";

// A UDP socket bound to ip:port (0 for an ephemeral one); an empty Fd when
// the address is taken.
os::Fd BoundSocket(const char* ip, uint16_t port) {
  os::Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd) throw std::runtime_error("FakeDnsServer: socket failed");
  const sockaddr_in address = os::MakeAddress(ip, port);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return {};
  return fd;
}

// Reads the header and first question of a query (uncompressed, as clients send).
std::optional<FakeDnsServer::Query> ParseQuery(std::string bytes) {
  if (bytes.size() < 12) return std::nullopt;
  FakeDnsServer::Query query;
  query.id = U16At(bytes, 0);
  query.flags = U16At(bytes, 2);
  std::size_t at = 12;
  while (at < bytes.size() && bytes[at] != 0) {
    const std::size_t length = static_cast<uint8_t>(bytes[at]);
    if (length > 63 || at + 1 + length > bytes.size()) return std::nullopt;
    if (!query.name.empty()) query.name += '.';
    query.name.append(bytes, at + 1, length);
    at += 1 + length;
  }
  if (at + 5 > bytes.size()) return std::nullopt;
  query.type = U16At(bytes, at + 1);
  query.qclass = U16At(bytes, at + 3);
  query.questionEnd = at + 5;
  query.bytes = std::move(bytes);
  return query;
}

bool EndsWithLabels(const std::string& name, const std::string& suffix) {
  if (name.size() <= suffix.size() + 1) return false;
  const std::size_t cut = name.size() - suffix.size();
  return name[cut - 1] == '.' &&
         std::equal(suffix.begin(), suffix.end(), name.begin() + cut, [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

// The exchange name, its tail compressed to the question's name where it lies in it.
std::string ExchangeName(const std::string& exchange, const std::string& question) {
  if (question.empty()) return FakeDnsServer::Name(exchange);
  if (FakeDnsServer::Key(exchange) == FakeDnsServer::Key(question)) return std::string(kPointerToQuestion);
  if (!EndsWithLabels(exchange, question)) return FakeDnsServer::Name(exchange);
  std::string head = FakeDnsServer::Name(exchange.substr(0, exchange.size() - question.size() - 1));
  head.pop_back();  // its closing zero gives way to the pointer
  return head + std::string(kPointerToQuestion);
}

}  // namespace

FakeDnsServer::FakeDnsServer() {
  // The forged-source socket needs the server's port free on 127.0.0.2 too.
  for (int attempt = 0; attempt < 20 && !otherAddress_; ++attempt) {
    socket_ = BoundSocket("127.0.0.1", 0);
    if (!socket_) throw std::runtime_error("FakeDnsServer: cannot bind 127.0.0.1");
    port_ = os::LocalEndpoint(socket_.get()).port;
    otherAddress_ = BoundSocket("127.0.0.2", port_);
  }
  otherPort_ = BoundSocket("127.0.0.1", 0);
  if (!otherAddress_ || !otherPort_)
    throw std::runtime_error("FakeDnsServer: cannot bind its forging sockets");
  thread_ = std::thread([this] { Serve(); });
}

FakeDnsServer::~FakeDnsServer() {
  stop_ = true;
  thread_.join();
}

std::string FakeDnsServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string FakeDnsServer::Key(std::string_view domain) {
  std::string key(domain);
  if (!key.empty() && key.back() == '.') key.pop_back();
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

void FakeDnsServer::AddScript(const std::string& domain, Script script) {
  std::lock_guard guard(lock_);
  scripts_[Key(domain)] = std::move(script);
}

void FakeDnsServer::AddMx(const std::string& domain, std::vector<Mx> exchanges) {
  AddDelayedMx(domain, std::move(exchanges), 0);
}

void FakeDnsServer::AddDelayedMx(const std::string& domain, std::vector<Mx> exchanges, int delayMs) {
  AddScript(domain, [exchanges, delayMs](const Query& query) {
    return std::vector<Datagram>{{MxAnswer(query, exchanges), Source::Server, delayMs}};
  });
}

void FakeDnsServer::AddSoaOnly(const std::string& domain) {
  AddScript(domain, [](const Query& query) { return std::vector<Datagram>{{SoaOnlyAnswer(query)}}; });
}

void FakeDnsServer::AddRcode(const std::string& domain, int rcode) {
  AddScript(domain,
            [rcode](const Query& query) { return std::vector<Datagram>{{RcodeAnswer(query, rcode)}}; });
}

void FakeDnsServer::AddWrongId(const std::string& domain, std::vector<Mx> exchanges) {
  AddScript(domain, [exchanges](const Query& query) {
    Query other = query;
    other.id = static_cast<uint16_t>(query.id + 1);
    return std::vector<Datagram>{{MxAnswer(other, exchanges)}};
  });
}

void FakeDnsServer::AddSilence(const std::string& domain) {
  AddScript(domain, [](const Query&) { return std::vector<Datagram>{}; });
}

void FakeDnsServer::AddSpoofed(const std::string& domain, std::vector<Mx> forged,
                               std::optional<std::vector<Mx>> genuine, Source from) {
  AddScript(domain, [forged, genuine, from](const Query& query) {
    std::vector<Datagram> datagrams{{MxAnswer(query, forged), from}};
    if (genuine) datagrams.push_back({MxAnswer(query, *genuine)});
    return datagrams;
  });
}

void FakeDnsServer::AddRaw(const std::string& domain, std::string bytes, bool withQueryId) {
  AddScript(domain, [bytes, withQueryId](const Query& query) {
    std::string answer = bytes;
    if (withQueryId && answer.size() >= 2) answer.replace(0, 2, U16(query.id));
    return std::vector<Datagram>{{answer}};
  });
}

std::vector<FakeDnsServer::Query> FakeDnsServer::Queries() const {
  std::lock_guard guard(lock_);
  return queries_;
}

std::size_t FakeDnsServer::QueryCount() const {
  std::lock_guard guard(lock_);
  return queries_.size();
}

bool FakeDnsServer::WaitForQueries(std::size_t count, int timeoutMs) const {
  std::unique_lock guard(lock_);
  return queried_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                           [&] { return queries_.size() >= count; });
}

void FakeDnsServer::ClearQueries() {
  std::lock_guard guard(lock_);
  queries_.clear();
}

std::string FakeDnsServer::U16(uint16_t value) {
  std::string bytes;
  big_endian::AppendU16(bytes, value);
  return bytes;
}

std::string FakeDnsServer::U32(uint32_t value) {
  return U16(static_cast<uint16_t>(value >> 16)) + U16(static_cast<uint16_t>(value & 0xFFFF));
}

std::string FakeDnsServer::Name(std::string_view domain) {
  std::string wire;
  while (!domain.empty()) {
    const std::size_t dot = std::min(domain.find('.'), domain.size());
    wire.push_back(static_cast<char>(dot));
    wire.append(domain.substr(0, dot));
    domain.remove_prefix(std::min(dot + 1, domain.size()));
  }
  wire.push_back('\0');
  return wire;
}

std::string FakeDnsServer::Header(uint16_t id, uint16_t flags, uint16_t qd, uint16_t an, uint16_t ns,
                                  uint16_t ar) {
  return U16(id) + U16(flags) + U16(qd) + U16(an) + U16(ns) + U16(ar);
}

std::string FakeDnsServer::AnswerStart(const Query& query, int rcode, uint16_t an, uint16_t ns, uint16_t ar) {
  const auto flags = static_cast<uint16_t>(kAnswerFlags | (rcode & 0x0F));
  return Header(query.id, flags, 1, an, ns, ar) + query.bytes.substr(12, query.questionEnd - 12);
}

std::string FakeDnsServer::Record(uint16_t type, std::string_view rdata) {
  return std::string(kPointerToQuestion) + U16(type) + U16(1) + U32(3600) +
         U16(static_cast<uint16_t>(rdata.size())) + std::string(rdata);
}

std::string FakeDnsServer::MxAnswer(const Query& query, const std::vector<Mx>& exchanges) {
  std::string answer = AnswerStart(query, 0, static_cast<uint16_t>(exchanges.size()), 0, 0);
  for (const Mx& mx : exchanges)
    answer += Record(kTypeMx, U16(mx.preference) + ExchangeName(mx.exchange, query.name));
  return answer;
}

std::string FakeDnsServer::SoaOnlyAnswer(const Query& query) {
  const std::string soa = Name("ns1." + query.name) + Name("hostmaster." + query.name) + U32(2024010101) +
                          U32(7200) + U32(900) + U32(1209600) + U32(300);
  return AnswerStart(query, 0, 0, 1, 0) + Record(kTypeSoa, soa);
}

std::string FakeDnsServer::RcodeAnswer(const Query& query, int rcode) {
  return AnswerStart(query, rcode, 0, 0, 0);
}

void FakeDnsServer::Serve() {
  std::string buffer(65536, '\0');
  while (!stop_) {
    pollfd entry{socket_.get(), POLLIN, 0};
    if (::poll(&entry, 1, 20) <= 0) continue;
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = ::recvfrom(socket_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) continue;
    auto query = ParseQuery(buffer.substr(0, static_cast<std::size_t>(n)));
    if (!query) continue;
    query->fromPort = os::ToEndpoint(from).port;
    {
      std::lock_guard guard(lock_);
      queries_.push_back(*query);
    }
    queried_.notify_all();
    Answer(*query, from);
  }
}

void FakeDnsServer::Answer(const Query& query, const sockaddr_in& to) {
  Script script = [](const Query& q) { return std::vector<Datagram>{{RcodeAnswer(q, 3)}}; };
  {
    std::lock_guard guard(lock_);
    if (auto found = scripts_.find(Key(query.name)); found != scripts_.end()) script = found->second;
  }
  for (const Datagram& datagram : script(query)) {
    if (datagram.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(datagram.delayMs));
    const os::Fd& sender = datagram.from == Source::Server      ? socket_
                           : datagram.from == Source::OtherPort ? otherPort_
                                                                : otherAddress_;
    ::sendto(sender.get(), datagram.bytes.data(), datagram.bytes.size(), 0,
             reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
}

}  // namespace testing_support
