#include "support/SmtpWireClient.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/Failure.h"
#include "platform/NetAddress.h"

namespace testing_support {

SmtpWireClient::SmtpWireClient(uint16_t port, const std::string& localIp) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw ESocketError("test client has no socket", errno);
  if (!localIp.empty()) {
    const sockaddr_in local = os::MakeAddress(localIp, 0);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      Close();
      throw ESocketError("test client could not bind " + localIp, errno);
    }
  }
  int on = 1;  // each command leaves at once, as a mail program's would
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  const sockaddr_in remote = os::MakeAddress("127.0.0.1", port);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
    const int error = errno;
    Close();
    throw ESocketError("test client could not connect", error);
  }
}

SmtpWireClient::~SmtpWireClient() { Close(); }

void SmtpWireClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void SmtpWireClient::SendRaw(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    pollfd entry{fd_, POLLOUT, 0};
    if (::poll(&entry, 1, kWaitMs) <= 0) throw ESocketError("test client could not send", ETIMEDOUT);
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n < 0) throw ESocketError("test client could not send", errno);
    sent += static_cast<std::size_t>(n);
  }
}

int SmtpWireClient::Receive(int timeoutMs) {
  pollfd entry{fd_, POLLIN, 0};
  const int ready = ::poll(&entry, 1, timeoutMs);
  if (ready == 0) return -1;
  char buffer[4096];
  const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
  if (n > 0) {
    in_.append(buffer, static_cast<std::size_t>(n));
    return 1;
  }
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 1;  // nothing yet; look again
  return 0;                                                    // FIN or reset
}

std::string SmtpWireClient::ReadRawLine(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::size_t lf = in_.find('\n');
    if (lf != std::string::npos) {
      std::string line = in_.substr(0, lf + 1);
      in_.erase(0, lf + 1);
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) return kTimedOut;
    const int got = Receive(static_cast<int>(left));
    if (got == 0) return kClosed;
    if (got < 0) return kTimedOut;
  }
}

std::string SmtpWireClient::ReadRawLines(int count, int timeoutMs) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += ReadRawLine(timeoutMs);
  return lines;
}

bool SmtpWireClient::ClosedWithoutReply(int timeoutMs) {
  const std::string line = ReadRawLine(timeoutMs);
  return line == kClosed && in_.empty();
}

bool SmtpWireClient::StaysSilent(int waitMs) { return ReadRawLine(waitMs) == kTimedOut && in_.empty(); }

std::string SmtpWireClient::ReadLine(int timeoutMs) {
  std::string line = ReadRawLine(timeoutMs);
  if (line == kClosed) throw EConnectionClosed();
  if (line == kTimedOut) throw EReadTimeout();
  line.pop_back();  // LF
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace testing_support
