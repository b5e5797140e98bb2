// A UDP endpoint on an ephemeral IPv4 port, owned by one thread; Abort from
// any other thread makes a wait in progress fail at once.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Fd.h"

namespace os {

class UdpSocket {
 public:
  struct Datagram {
    std::string bytes;
    sockaddr_in from{};
  };

  UdpSocket() = default;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Opens a fresh socket in place of the current one. Throws ESocketError,
  // with ECONNABORTED while an abort holds.
  void Open();
  // Open and not aborted.
  bool IsOpen() const { return fd_ && !aborted_; }

  // Sends one datagram. Throws ESocketError.
  void SendTo(const sockaddr_in& to, std::string_view bytes);

  // Waits at most timeoutMs for one datagram of at most maxSize bytes.
  // Returns nothing on time-out; throws ESocketError when aborted or failing.
  std::optional<Datagram> Receive(int timeoutMs, std::size_t maxSize);

  // The bound local port, 0 when closed.
  uint16_t LocalPort() const;

  // Safe from any thread: shuts the socket down so a wait fails at once.
  // The abort holds, also when no socket is open, until ClearAbort: Open
  // fails meanwhile, so an abort that lands between two queries is not lost.
  void Abort();
  // Owner only: after an Abort, closes the socket it shut down and lets Open
  // work again.
  void ClearAbort();
  // Owner only.
  void Close();

 private:
  Fd fd_;
  std::mutex abortLock_;
  std::atomic<bool> aborted_{false};
};

}  // namespace os
