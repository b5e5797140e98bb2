#include "platform/TcpListener.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/Failure.h"
#include "platform/NetAddress.h"

namespace os {

void TcpListener::Listen(const std::string& ip, uint16_t port, int backlog) {
  const sockaddr_in address = MakeAddress(ip, port);
  Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) throw ESocketError(SocketErrorText(errno), errno);
  int on = 1;
  setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd.get(), backlog) != 0) {
    throw ESocketError(SocketErrorText(errno), errno);
  }
  std::lock_guard lock(abortLock_);
  fd_ = std::move(fd);
  aborted_ = false;
}

std::unique_ptr<TcpStream> TcpListener::Accept() {
  for (;;) {
    if (aborted_ || !fd_) return nullptr;
    pollfd entry{fd_.get(), POLLIN, 0};
    if (::poll(&entry, 1, -1) < 0 && errno != EINTR) throw ESocketError(SocketErrorText(errno), errno);
    if (aborted_) return nullptr;
    int client = ::accept4(fd_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client >= 0) return std::make_unique<TcpStream>(Fd(client));
    const int error = errno;
    if (aborted_) return nullptr;
    switch (error) {
      case EINTR:
      case EAGAIN:
      case ECONNABORTED:
        continue;
      case EMFILE:
      case ENFILE:
      case ENOBUFS:
      case ENOMEM:
        // Out of resources: the pending connection stays queued, so pause
        // instead of spinning on a socket that stays readable.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        throw ESocketError(SocketErrorText(error), error);
      default:
        throw ESocketError(SocketErrorText(error), error);
    }
  }
}

void TcpListener::Abort() {
  std::lock_guard lock(abortLock_);
  aborted_ = true;
  if (fd_) ::shutdown(fd_.get(), SHUT_RDWR);
}

void TcpListener::Close() {
  std::lock_guard lock(abortLock_);
  fd_.reset();
}

uint16_t TcpListener::Port() const { return LocalEndpoint(fd_.get()).port; }

}  // namespace os
