#include "platform/TcpStream.h"

#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/Failure.h"

namespace os {
namespace {

constexpr std::size_t kReceiveChunk = 16384;
// Beyond this an idle connection gives its input buffer back.
constexpr std::size_t kKeepCapacity = 4096;

[[noreturn]] void ThrowSocketError(int error) { throw ESocketError(SocketErrorText(error), error); }

void SetNoDelay(int fd) {
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

TcpStream::TcpStream(Fd connected) : fd_(std::move(connected)) { SetNoDelay(fd_.get()); }

void TcpStream::Connect(const sockaddr_in& address, int timeoutMs) {
  Close();
  {
    std::lock_guard lock(abortLock_);
    if (aborted_) ThrowSocketError(ECONNABORTED);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) ThrowSocketError(errno);
    fd_.reset(fd);
  }
  SetNoDelay(fd_.get());
  try {
    if (::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return;
    if (errno != EINPROGRESS) ThrowSocketError(errno);
    if (!Wait(POLLOUT, timeoutMs)) throw EConnectTimeout();
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(fd_.get(), SOL_SOCKET, SO_ERROR, &error, &length);
    if (aborted_ && error == 0) error = ECONNABORTED;
    if (error != 0) ThrowSocketError(error);
  } catch (...) {
    Close();
    throw;
  }
}

bool TcpStream::Wait(short events, int timeoutMs) {
  if (timeoutMs == kForever) {
    for (;;) {
      pollfd entry{fd_.get(), events, 0};
      int rc = ::poll(&entry, 1, kForever);
      if (rc > 0) return true;
      if (rc < 0 && errno != EINTR) ThrowSocketError(errno);
    }
  }
  return WaitUntil(events, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs));
}

bool TcpStream::WaitUntil(short events, Deadline deadline) {
  using Clock = std::chrono::steady_clock;
  for (;;) {
    // Rounded up, so a wait never ends a little before its deadline.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int waitMs = left > 0 ? static_cast<int>(left) : 0;
    pollfd entry{fd_.get(), events, 0};
    int rc = ::poll(&entry, 1, waitMs);
    if (rc > 0) return true;
    if (rc == 0) return false;
    if (errno != EINTR) ThrowSocketError(errno);
  }
}

int TcpStream::WaitLeft(const Deadline* deadline) {
  if (deadline == nullptr) return kForever;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool TcpStream::Receive(const Deadline* deadline) {
  if (inStart_ > 0) {
    in_.erase(0, inStart_);
    inStart_ = 0;
  }
  // Receive into the stack first, so a connection waiting for its next line
  // keeps no receive buffer on the heap.
  char chunk[kReceiveChunk];
  if (!tls_) {
    const std::size_t n = ReceiveRaw(chunk, sizeof chunk, deadline);
    in_.append(chunk, n);
    return n > 0;
  }
  for (;;) {
    switch (tls_->Read(in_)) {
      case TlsSession::ReadResult::Data:
        return true;
      case TlsSession::ReadResult::Closed:
        return false;
      case TlsSession::ReadResult::NeedInput:
        break;
    }
    SendTlsOutput(WaitLeft(deadline));  // a session may have to answer before it reads on
    const std::size_t n = ReceiveRaw(chunk, sizeof chunk, deadline);
    if (n == 0) return false;
    tls_->Feed(chunk, n);
  }
}

std::size_t TcpStream::ReceiveRaw(char* buffer, std::size_t size, const Deadline* deadline) {
  for (;;) {
    ssize_t n = ::recv(fd_.get(), buffer, size, MSG_DONTWAIT);
    if (n > 0) return static_cast<std::size_t>(n);
    const int error = errno;
    if (n == 0 || aborted_) return 0;
    if (error == EINTR) continue;
    if (error != EAGAIN && error != EWOULDBLOCK) ThrowSocketError(error);
    if (!(deadline ? WaitUntil(POLLIN, *deadline) : Wait(POLLIN, kForever))) throw EReadTimeout();
  }
}

std::string TcpStream::ReadLine(int timeoutMs) {
  if (!fd_) throw EConnectionClosed();
  // One deadline for the whole line: a peer sending a byte now and then must
  // not stretch the wait without end.
  const Deadline deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  const Deadline* limit = timeoutMs == kForever ? nullptr : &deadline;
  std::size_t scanned = 0;  // unread bytes already known to hold no LF
  for (;;) {
    const std::size_t lf = in_.find('\n', inStart_ + scanned);
    if (lf != std::string::npos) {
      std::size_t length = lf - inStart_;
      if (length > kMaxLineLength) throw ELineTooLong();
      if (length > 0 && in_[lf - 1] == '\r') --length;
      std::string line = in_.substr(inStart_, length);
      inStart_ = lf + 1;
      if (inStart_ == in_.size()) {
        in_.clear();
        inStart_ = 0;
        if (in_.capacity() > kKeepCapacity) in_.shrink_to_fit();
      }
      return line;
    }
    if (in_.size() - inStart_ > kMaxLineLength) throw ELineTooLong();
    scanned = in_.size() - inStart_;
    if (!Receive(limit)) {
      peerClosed_ = true;
      throw EConnectionClosed();
    }
  }
}

bool TcpStream::HasBufferedLine() const { return in_.find('\n', inStart_) != std::string::npos; }

void TcpStream::Flush(int timeoutMs) {
  std::string pending;
  pending.swap(out_);  // a failed flush leaves nothing behind to resend
  if (!fd_) throw EConnectionClosed();
  if (tls_) {
    tls_->Write(pending);
    SendTlsOutput(timeoutMs);
  } else {
    SendRaw(pending, timeoutMs);
  }
  pending.clear();
  if (pending.capacity() <= kKeepCapacity) out_.swap(pending);
}

void TcpStream::SendRaw(std::string_view bytes, int timeoutMs) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (aborted_) throw EConnectionClosed();
    if (error != EAGAIN && error != EWOULDBLOCK) ThrowSocketError(error);
    if (!Wait(POLLOUT, timeoutMs)) throw ESocketError(SocketErrorText(ETIMEDOUT), ETIMEDOUT);
  }
}

void TcpStream::SendTlsOutput(int timeoutMs) {
  tlsOut_.clear();
  tls_->TakeOutput(tlsOut_);
  SendRaw(tlsOut_, timeoutMs);
  tlsOut_.clear();
  if (tlsOut_.capacity() > kKeepCapacity) tlsOut_.shrink_to_fit();
}

void TcpStream::StartTls(std::unique_ptr<TlsSession> session, int timeoutMs) {
  if (!fd_) throw EConnectionClosed();
  // Bytes that came with or after the reply inviting the handshake were
  // sent before any encryption; taking them as if from inside TLS would let
  // whoever is on the path write into the session.
  if (inStart_ < in_.size())
    throw ETlsError("TLS handshake failed: plain text after the invitation to start TLS");
  in_.clear();
  inStart_ = 0;
  tls_ = std::move(session);
  // One deadline for the whole handshake, as for a line: a peer dripping
  // bytes must not stretch it without end.
  const Deadline deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  const Deadline* limit = timeoutMs == kForever ? nullptr : &deadline;
  char chunk[kReceiveChunk];
  for (;;) {
    const bool done = tls_->Handshake();
    SendTlsOutput(WaitLeft(limit));
    if (done) return;
    const std::size_t n = ReceiveRaw(chunk, sizeof chunk, limit);
    if (n == 0) {
      peerClosed_ = true;
      throw EConnectionClosed();
    }
    tls_->Feed(chunk, n);
  }
}

TlsReport TcpStream::Tls() const { return tls_ ? tls_->Report() : TlsReport{}; }

void TcpStream::Abort() {
  std::lock_guard lock(abortLock_);
  aborted_ = true;
  if (fd_) ::shutdown(fd_.get(), SHUT_RDWR);
}

void TcpStream::ClearAbort() {
  Close();
  std::lock_guard lock(abortLock_);
  aborted_ = false;
}

void TcpStream::Close() {
  std::lock_guard lock(abortLock_);
  fd_.reset();
  peerClosed_ = false;
  in_.clear();
  in_.shrink_to_fit();
  inStart_ = 0;
  out_.clear();
  tls_.reset();
  tlsOut_.clear();
  tlsOut_.shrink_to_fit();
}

bool TcpStream::IsOpen() const { return fd_ && !aborted_ && !peerClosed_; }

Endpoint TcpStream::LocalAddress() const { return LocalEndpoint(fd_.get()); }

Endpoint TcpStream::PeerAddress() const { return PeerEndpoint(fd_.get()); }

}  // namespace os
