#include "platform/UdpSocket.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

#include "platform/Failure.h"
#include "platform/NetAddress.h"

namespace os {
namespace {

[[noreturn]] void ThrowSocketError(int error) { throw ESocketError(SocketErrorText(error), error); }

}  // namespace

void UdpSocket::Open() {
  Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) ThrowSocketError(errno);
  const sockaddr_in any = MakeAddress("", 0);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) ThrowSocketError(errno);
  std::lock_guard lock(abortLock_);
  if (aborted_) ThrowSocketError(ECONNABORTED);
  fd_ = std::move(fd);
}

void UdpSocket::SendTo(const sockaddr_in& to, std::string_view bytes) {
  if (!IsOpen()) ThrowSocketError(EBADF);
  ssize_t n = ::sendto(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (n < 0) ThrowSocketError(errno);
}

std::optional<UdpSocket::Datagram> UdpSocket::Receive(int timeoutMs, std::size_t maxSize) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  Datagram datagram;
  for (;;) {
    if (aborted_ || !fd_) ThrowSocketError(ECONNABORTED);
    datagram.bytes.resize(maxSize);
    socklen_t length = sizeof datagram.from;
    ssize_t n = ::recvfrom(fd_.get(), datagram.bytes.data(), maxSize, MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&datagram.from), &length);
    if (n >= 0 && !aborted_) {
      datagram.bytes.resize(static_cast<std::size_t>(n));
      return datagram;
    }
    const int error = errno;
    if (aborted_) ThrowSocketError(ECONNABORTED);
    // ICMP errors of earlier sends surface here; they say nothing about the
    // answer still to come, so keep waiting.
    if (error != EAGAIN && error != EWOULDBLOCK && error != EINTR && error != ECONNREFUSED)
      ThrowSocketError(error);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return std::nullopt;
    pollfd entry{fd_.get(), POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(left)) < 0 && errno != EINTR) ThrowSocketError(errno);
  }
}

void UdpSocket::Abort() {
  std::lock_guard lock(abortLock_);
  aborted_ = true;
  if (fd_) ::shutdown(fd_.get(), SHUT_RDWR);
}

void UdpSocket::ClearAbort() {
  std::lock_guard lock(abortLock_);
  if (!aborted_) return;
  fd_.reset();  // shut down for good; Open makes a new one
  aborted_ = false;
}

uint16_t UdpSocket::LocalPort() const { return fd_ ? LocalEndpoint(fd_.get()).port : 0; }

void UdpSocket::Close() {
  std::lock_guard lock(abortLock_);
  fd_.reset();
}

}  // namespace os
