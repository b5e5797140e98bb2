#include "support/TcpDelayProxy.h"

#include <poll.h>
#include <sys/socket.h>

#include <deque>

#include "platform/Failure.h"

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

// Longest a relaying thread sleeps before it looks whether the proxy stops.
constexpr auto kStopCheck = std::chrono::milliseconds(50);
constexpr int kConnectWaitMs = 5000;

// Bytes on their way in one direction, each piece due at its time.
class DelayedPipe {
 public:
  DelayedPipe(int from, int to, std::chrono::milliseconds delay) : from_(from), to_(to), delay_(delay) {}

  bool WantsInput() const { return !ended_; }
  bool Finished() const { return ended_ && pieces_.empty() && shutDown_; }
  int From() const { return from_; }

  // Reads what arrived; false when the connection broke.
  bool Take() {
    char buffer[16384];
    const ssize_t n = ::recv(from_, buffer, sizeof buffer, 0);
    if (n > 0) {
      pieces_.push_back({Clock::now() + delay_, std::string(buffer, static_cast<std::size_t>(n))});
      return true;
    }
    ended_ = true;
    return n == 0;
  }

  // Sends the pieces that are due; false when the connection broke.
  bool SendDue() {
    while (!pieces_.empty() && pieces_.front().due <= Clock::now()) {
      const std::string& bytes = pieces_.front().bytes;
      for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(to_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
      }
      pieces_.pop_front();
    }
    if (ended_ && pieces_.empty() && !shutDown_) {
      ::shutdown(to_, SHUT_WR);
      shutDown_ = true;
    }
    return true;
  }

  // Until the next piece is due, at most `limit`.
  std::chrono::milliseconds Wait(std::chrono::milliseconds limit) const {
    if (pieces_.empty()) return limit;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(pieces_.front().due - Clock::now());
    return std::max(std::chrono::milliseconds(0), std::min(left, limit));
  }

 private:
  struct Piece {
    Clock::time_point due;
    std::string bytes;
  };
  const int from_;
  const int to_;
  const std::chrono::milliseconds delay_;
  std::deque<Piece> pieces_;
  bool ended_ = false;
  bool shutDown_ = false;
};

}  // namespace

TcpDelayProxy::TcpDelayProxy(const std::string& ip, uint16_t port, const sockaddr_in& server,
                             std::chrono::milliseconds roundTrip)
    : server_(server), roundTrip_(roundTrip) {
  listener_.Listen(ip, port, 128);
  port_ = listener_.Port();
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TcpDelayProxy::~TcpDelayProxy() {
  stopping_ = true;
  listener_.Abort();
  if (acceptor_.joinable()) acceptor_.join();
  std::lock_guard lock(connectionsLock_);
  for (auto& connection : connections_) connection->thread.join();
  listener_.Close();
}

void TcpDelayProxy::AcceptLoop() {
  for (;;) {
    std::unique_ptr<os::TcpStream> client;
    try {
      client = listener_.Accept();
    } catch (const ESocketError&) {
      if (stopping_) return;
      continue;
    }
    if (!client || stopping_) return;
    std::lock_guard lock(connectionsLock_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if ((*it)->done) {
        (*it)->thread.join();
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
    auto connection = std::make_unique<Connection>();
    Connection* live = connection.get();
    live->thread = std::thread([this, live, client = std::move(client)]() mutable {
      Relay(std::move(client));
      live->done = true;
    });
    connections_.push_back(std::move(connection));
  }
}

void TcpDelayProxy::Relay(std::unique_ptr<os::TcpStream> client) {
  // The handshake and the first data's way to the server.
  const auto reached = Clock::now() + roundTrip_ * 3 / 2;
  while (Clock::now() < reached) {
    if (stopping_) return;
    std::this_thread::sleep_for(std::min<Clock::duration>(kStopCheck, reached - Clock::now()));
  }
  os::TcpStream server;
  try {
    server.Connect(server_, kConnectWaitMs);
  } catch (const EFailure&) {
    return;
  }
  const auto oneWay = roundTrip_ / 2;
  DelayedPipe up(client->NativeHandle(), server.NativeHandle(), oneWay);
  DelayedPipe down(server.NativeHandle(), client->NativeHandle(), oneWay);
  while (!stopping_ && !(up.Finished() && down.Finished())) {
    pollfd entries[2];
    nfds_t count = 0;
    for (const DelayedPipe* pipe : {&up, &down})
      if (pipe->WantsInput()) entries[count++] = {pipe->From(), POLLIN, 0};
    const auto wait = std::min(up.Wait(kStopCheck), down.Wait(kStopCheck));
    if (::poll(entries, count, static_cast<int>(wait.count())) < 0) return;
    for (nfds_t i = 0; i < count; ++i) {
      if ((entries[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      DelayedPipe& pipe = entries[i].fd == up.From() ? up : down;
      if (!pipe.Take()) return;
    }
    if (!up.SendDue() || !down.SendDue()) return;
  }
}

}  // namespace testing_support
