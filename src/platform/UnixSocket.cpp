#include "platform/UnixSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace os {

namespace {

// The socket address of a name; false when the name does not fit.
bool AddressOf(const std::string& name, sockaddr_un& address, socklen_t& length) {
  address = {};
  address.sun_family = AF_UNIX;
  if (name.empty() || name.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(address.sun_path, name.data(), name.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (name[0] == '\0' ? 0 : 1));
  return true;
}

}  // namespace

bool WaitReadable(int fd, std::chrono::milliseconds limit) {
  pollfd entry{fd, POLLIN, 0};
  for (;;) {
    const int ready = ::poll(&entry, 1, static_cast<int>(limit.count()));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

Fd ConnectUnixSocket(const std::string& name, std::chrono::milliseconds limit) {
  sockaddr_un address{};
  socklen_t length = 0;
  if (!AddressOf(name, address, length)) return Fd();
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return Fd();
    // Non-blocking, a local connect either completes at once or finds the
    // listen queue full (EAGAIN): then try again until the limit.
    const int flags = ::fcntl(fd.get(), F_GETFL);
    ::fcntl(fd.get(), F_SETFL, flags | O_NONBLOCK);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0) {
      ::fcntl(fd.get(), F_SETFL, flags);
      return fd;
    }
    const int error = errno;
    if (error != EAGAIN || std::chrono::steady_clock::now() >= deadline) {
      fd.reset();
      errno = error == EAGAIN ? ETIMEDOUT : error;
      return Fd();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Fd ListenUnixSocket(const std::string& name, int backlog) {
  sockaddr_un address{};
  socklen_t length = 0;
  if (!AddressOf(name, address, length)) return Fd();
  Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return Fd();
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
      ::listen(fd.get(), backlog) != 0)
    return Fd();
  return fd;
}

}  // namespace os
