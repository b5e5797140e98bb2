// A TCP connection owned by one thread: line reading with a length limit and
// an optional time limit, buffered writing, and an abort that any other thread
// may call to make a blocked read, write or connect fail at once.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/Fd.h"
#include "platform/NetAddress.h"

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
  // Throws ELineTooLong, EReadTimeout (no complete line within timeoutMs of
  // the last data), EConnectionClosed (peer closed, or aborted), ESocketError.
  std::string ReadLine(int timeoutMs = kForever);

  // True when a whole line is already buffered (no system call needed).
  bool HasBufferedLine() const;

  // Queues bytes; nothing is sent until Flush.
  void Write(std::string_view bytes) { out_.append(bytes); }
  // Sends everything queued, waiting at most timeoutMs for the peer to take
  // each part. Throws ESocketError or EReadTimeout-like failures on trouble.
  void Flush(int timeoutMs = kForever);

  // Safe from any thread: shuts the socket down so the owner's blocked call
  // fails at once. The descriptor stays open until the owner calls Close.
  void Abort();
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
  // Receives more bytes into the input buffer; false when the peer closed.
  bool Receive(int timeoutMs);

  Fd fd_;
  mutable std::mutex abortLock_;  // orders Abort against Close/Connect
  std::atomic<bool> aborted_{false};
  bool peerClosed_ = false;
  std::string in_;
  std::size_t inStart_ = 0;  // consumed prefix of in_
  std::string out_;
};

}  // namespace os
