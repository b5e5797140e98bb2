// A TCP connection owned by one thread: line reading with a length limit and
// an optional time limit, buffered writing, and an abort that any other thread
// may call to make a blocked read, write or connect fail at once.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/Fd.h"
#include "platform/NetAddress.h"
#include "platform/Tls.h"

namespace os {

class TcpStream {
 public:
  // Longest line, counted with its CR but without its LF.
  static constexpr std::size_t kMaxLineLength = 16384;
  // A time limit of kForever waits without end.
  static constexpr int kForever = -1;

  TcpStream() = default;
  explicit TcpStream(Fd connected);
  TcpStream(const TcpStream&) = delete;
  TcpStream& operator=(const TcpStream&) = delete;

  // Opens a connection, waiting at most timeoutMs for it to be established.
  // Throws EConnectTimeout, or ESocketError when refused or aborted.
  void Connect(const sockaddr_in& address, int timeoutMs);

  // Reads one line ended by LF; the LF and one CR before it are removed.
  // Throws ELineTooLong, EReadTimeout (the line not complete within
  // timeoutMs, however the bytes trickle in), EConnectionClosed (peer
  // closed, or aborted), ESocketError.
  std::string ReadLine(int timeoutMs = kForever);

  // True when a whole line is already buffered (no system call needed).
  bool HasBufferedLine() const;

  // Queues bytes; nothing is sent until Flush.
  void Write(std::string_view bytes) { out_.append(bytes); }
  // Sends everything queued, waiting at most timeoutMs for the peer to take
  // each part. Throws ESocketError or EReadTimeout-like failures on trouble.
  void Flush(int timeoutMs = kForever);

  // Turns the connection into a TLS one: runs the handshake, all of it
  // within timeoutMs, and from then on every read and write
  // goes through the session. Call with nothing written and unsent. Throws
  // ETlsError (also when unread plain text is buffered, which a peer could
  // have slipped in ahead of the handshake), EReadTimeout, EConnectionClosed
  // or ESocketError; the stream is of no further use then.
  void StartTls(std::unique_ptr<TlsSession> session, int timeoutMs);
  // The encryption in use: encrypted is false on a plain connection.
  TlsReport Tls() const;

  // Safe from any thread: shuts the socket down so the owner's blocked call
  // fails at once. The descriptor stays open until the owner calls Close.
  // The abort holds across Close: every later Connect fails with
  // ECONNABORTED until the owner calls ClearAbort, so an abort that lands
  // between two connections is not lost.
  void Abort();
  // Owner only: closes the socket and lets Connect open connections again
  // after an Abort.
  void ClearAbort();
  // Owner only: closes the socket and forgets buffered data.
  void Close();
  // Open, and not aborted, and the peer has not been seen to close.
  bool IsOpen() const;
  // The peer closed its side (seen by a read) or the socket was aborted.
  bool PeerClosed() const { return peerClosed_; }

  Endpoint LocalAddress() const;
  Endpoint PeerAddress() const;
  int NativeHandle() const { return fd_.get(); }

 private:
  // Waits for events on the socket; false on timeout.
  bool Wait(short events, int timeoutMs);
  using Deadline = std::chrono::steady_clock::time_point;
  // Waits for events on the socket until the deadline; false when it passed.
  bool WaitUntil(short events, Deadline deadline);
  // Receives more bytes into the input buffer; false when the peer closed.
  // Without a deadline it waits without end.
  bool Receive(const Deadline* deadline);
  // The socket itself: some bytes into buffer (0 when the peer closed or
  // the socket was aborted), and all of bytes out.
  std::size_t ReceiveRaw(char* buffer, std::size_t size, const Deadline* deadline);
  // The milliseconds left until the deadline, kForever without one.
  static int WaitLeft(const Deadline* deadline);
  void SendRaw(std::string_view bytes, int timeoutMs);
  // Sends what the TLS session has ready for the peer.
  void SendTlsOutput(int timeoutMs);

  Fd fd_;
  mutable std::mutex abortLock_;  // orders Abort against Close/Connect
  std::atomic<bool> aborted_{false};
  bool peerClosed_ = false;
  std::string in_;
  std::size_t inStart_ = 0;  // consumed prefix of in_
  std::string out_;
  std::unique_ptr<TlsSession> tls_;  // set once TLS has been started
  std::string tlsOut_;               // encrypted bytes on their way out
};

}  // namespace os
