#include "support/UdpDelayProxy.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>
#include <vector>

#include "platform/Failure.h"
#include "platform/NetAddress.h"

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStopCheck = std::chrono::milliseconds(50);
constexpr std::size_t kMaxDatagram = 65536;
// Askers remembered at most; a benchmark has a few dozen.
constexpr std::size_t kMostAskers = 1024;

os::Fd UdpSocketOn(const sockaddr_in& address) {
  os::Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw ESocketError(os::SocketErrorText(errno), errno);
  return fd;
}

std::pair<uint32_t, uint16_t> KeyOf(const sockaddr_in& address) {
  return {address.sin_addr.s_addr, address.sin_port};
}

}  // namespace

UdpDelayProxy::UdpDelayProxy(const sockaddr_in& server, std::chrono::milliseconds roundTrip)
    : server_(server), roundTrip_(roundTrip) {
  socket_ = UdpSocketOn(os::MakeAddress("127.0.0.1", 0));
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  ::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&bound), &length);
  port_ = ntohs(bound.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

UdpDelayProxy::~UdpDelayProxy() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

std::string UdpDelayProxy::Address() const { return "127.0.0.1:" + std::to_string(port_); }

// Each asker gets a socket of its own towards the server, so an answer goes
// back to whoever asked; the answer waits out the round trip before that.
void UdpDelayProxy::Serve() {
  struct Asker {
    sockaddr_in address;
    os::Fd upstream;
  };
  struct Answer {
    Clock::time_point due;
    sockaddr_in to;
    std::string bytes;
  };
  std::map<std::pair<uint32_t, uint16_t>, Asker> askers;
  std::vector<Answer> answers;  // in order of arrival, so of due time
  std::string buffer(kMaxDatagram, '\0');
  while (!stopping_) {
    std::vector<pollfd> entries{{socket_.get(), POLLIN, 0}};
    std::vector<const Asker*> owners{nullptr};
    for (const auto& [key, asker] : askers) {
      entries.push_back({asker.upstream.get(), POLLIN, 0});
      owners.push_back(&asker);
    }
    auto wait = kStopCheck;
    if (!answers.empty())
      wait = std::clamp(std::chrono::ceil<std::chrono::milliseconds>(answers.front().due - Clock::now()),
                        std::chrono::milliseconds(0), kStopCheck);
    if (::poll(entries.data(), entries.size(), static_cast<int>(wait.count())) < 0 && errno != EINTR) return;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if ((entries[i].revents & POLLIN) == 0) continue;
      sockaddr_in from{};
      socklen_t length = sizeof from;
      const ssize_t n = ::recvfrom(entries[i].fd, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
      if (n < 0) continue;
      const std::string datagram(buffer.data(), static_cast<std::size_t>(n));
      if (owners[i] != nullptr) {
        answers.push_back({Clock::now() + roundTrip_, owners[i]->address, datagram});
        continue;
      }
      auto found = askers.find(KeyOf(from));
      if (found == askers.end()) {
        if (askers.size() >= kMostAskers) continue;
        found = askers.emplace(KeyOf(from), Asker{from, UdpSocketOn(os::MakeAddress("127.0.0.1", 0))}).first;
      }
      ::sendto(found->second.upstream.get(), datagram.data(), datagram.size(), 0,
               reinterpret_cast<const sockaddr*>(&server_), sizeof server_);
    }
    while (!answers.empty() && answers.front().due <= Clock::now()) {
      const Answer& answer = answers.front();
      ::sendto(socket_.get(), answer.bytes.data(), answer.bytes.size(), 0,
               reinterpret_cast<const sockaddr*>(&answer.to), sizeof answer.to);
      answers.erase(answers.begin());
    }
  }
}

}  // namespace testing_support
