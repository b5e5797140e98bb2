#include "app/DisplayProbe.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/Fd.h"
#include "platform/UnixSocket.h"

namespace {

constexpr int kX11TcpBasePort = 6000;
constexpr const char* kX11SocketFolder = "/tmp/.X11-unix/X";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::chrono::milliseconds Left(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

// A TCP connection within the limit, to the first address that takes it.
os::Fd ConnectTcp(const std::string& host, int port, std::chrono::steady_clock::time_point deadline) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return os::Fd();
  os::Fd connected;
  for (const addrinfo* entry = found; entry != nullptr && !connected; entry = entry->ai_next) {
    os::Fd fd(
        ::socket(entry->ai_family, entry->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, entry->ai_protocol));
    if (!fd) continue;
    if (::connect(fd.get(), entry->ai_addr, entry->ai_addrlen) != 0) {
      if (errno != EINPROGRESS) continue;
      pollfd wait{fd.get(), POLLOUT, 0};
      int error = 0;
      socklen_t size = sizeof error;
      if (::poll(&wait, 1, static_cast<int>(Left(deadline).count())) <= 0 ||
          ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
        continue;
    }
    connected = std::move(fd);
  }
  ::freeaddrinfo(found);
  return connected;
}

// Sends the fixed part of an X11 connection set-up without authorization
// data and waits for the first byte of the server's answer.
bool AnswersSetup(int fd, std::chrono::steady_clock::time_point deadline) {
  // Byte order "l" (little endian), protocol 11.0, no authorization.
  const unsigned char setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  if (::send(fd, setup, sizeof setup, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof setup)) return false;
  for (;;) {
    if (!os::WaitReadable(fd, Left(deadline))) return false;
    unsigned char first = 0;
    const ssize_t n = ::recv(fd, &first, 1, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return n == 1;
  }
}

bool WaylandDisplayAccepts(const std::string& display, std::chrono::milliseconds limit) {
  std::string path = display;
  if (path.front() != '/') {
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    path = runtime + "/" + display;
  }
  return static_cast<bool>(os::ConnectUnixSocket(path, limit));
}

}  // namespace

bool X11DisplayAnswers(const std::string& display, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const auto colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = display.substr(0, colon);
  std::string number = display.substr(colon + 1);
  number = number.substr(0, number.find('.'));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos || number.size() > 5)
    return false;

  if (host.empty() || host == "unix") {
    // Like the X library: the abstract socket first, then the socket file.
    const std::string path = kX11SocketFolder + number;
    for (const std::string& name : {std::string(1, '\0') + path, path}) {
      os::Fd fd = os::ConnectUnixSocket(name, Left(deadline));
      if (fd) return AnswersSetup(fd.get(), deadline);
    }
    if (!host.empty()) return false;
  }
  os::Fd fd = ConnectTcp(host.empty() ? "localhost" : host, kX11TcpBasePort + std::stoi(number), deadline);
  return fd && AnswersSetup(fd.get(), deadline);
}

DisplayCheck CheckDisplay(std::chrono::milliseconds limit) {
  using State = DisplayCheck::State;
  const std::string platform = Environment("QT_QPA_PLATFORM");
  const std::string x11 = Environment("DISPLAY");
  const std::string wayland = Environment("WAYLAND_DISPLAY");
  if (!platform.empty() && !StartsWith(platform, "xcb") && !StartsWith(platform, "wayland"))
    return {State::kUsable, platform};
  if (StartsWith(platform, "wayland") || (x11.empty() && !wayland.empty())) {
    if (!wayland.empty() && WaylandDisplayAccepts(wayland, limit)) return {State::kUsable, wayland};
    if (x11.empty()) return {wayland.empty() ? State::kNone : State::kSilent, wayland};
  }
  if (x11.empty()) return {State::kNone, ""};
  return {X11DisplayAnswers(x11, limit) ? State::kUsable : State::kSilent, x11};
}

std::string PlatformsToTry() {
  std::string platforms = Environment("QT_QPA_PLATFORM");
  if (platforms.empty()) {
    // What Qt itself picks on this session: X11, or Wayland first on a
    // Wayland session other than GNOME's.
    std::string desktop = Environment("XDG_CURRENT_DESKTOP") + ":" + Environment("XDG_SESSION_DESKTOP");
    for (char& c : desktop) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool wayland =
        Environment("XDG_SESSION_TYPE") == "wayland" && desktop.find("gnome") == std::string::npos;
    platforms = wayland ? "wayland;xcb" : "xcb";
  }
  if (platforms.find("offscreen") == std::string::npos) platforms += ";offscreen";
  return platforms;
}
