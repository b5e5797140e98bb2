// A listening TCP socket on IPv4. Accept blocks without a time limit (no
// polling while idle); Abort from another thread ends a wait at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Fd.h"
#include "platform/TcpStream.h"

namespace os {

class TcpListener {
 public:
  TcpListener() = default;
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // Binds ip (empty: every local address) and port (0: any free port) and
  // listens. SO_REUSEADDR is set: on Linux it only allows binding over
  // connections in TIME_WAIT, never a second listener on a port in use.
  // Throws ESocketError carrying errno (EADDRINUSE, EACCES, ...).
  void Listen(const std::string& ip, uint16_t port, int backlog);

  // Waits for the next connection. Returns null once Abort was called.
  // Throws ESocketError when one accept fails; the listener stays usable.
  std::unique_ptr<TcpStream> Accept();

  // Safe from any thread: wakes and ends a blocked Accept.
  void Abort();
  void Close();

  // The bound port (useful after binding port 0).
  uint16_t Port() const;

 private:
  Fd fd_;
  std::mutex abortLock_;
  std::atomic<bool> aborted_{false};
};

}  // namespace os
