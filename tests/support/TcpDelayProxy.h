// A TCP proxy on a loopback address that makes the server behind it look far
// away, for benchmarks: every byte takes half the round trip to cross in
// each direction, and a new connection reaches the server one and a half
// round trips after it was opened (the TCP handshake, then the first data
// on its way). Several proxies share one port on different addresses, as
// exchangers share port 25.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/TcpListener.h"

namespace testing_support {

class TcpDelayProxy {
 public:
  TcpDelayProxy(const std::string& ip, uint16_t port, const sockaddr_in& server,
                std::chrono::milliseconds roundTrip);
  ~TcpDelayProxy();
  TcpDelayProxy(const TcpDelayProxy&) = delete;
  TcpDelayProxy& operator=(const TcpDelayProxy&) = delete;

  uint16_t Port() const { return port_; }

 private:
  struct Connection {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void AcceptLoop();
  void Relay(std::unique_ptr<os::TcpStream> client);

  const sockaddr_in server_;
  const std::chrono::milliseconds roundTrip_;
  os::TcpListener listener_;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex connectionsLock_;
  std::list<std::unique_ptr<Connection>> connections_;
};

}  // namespace testing_support
