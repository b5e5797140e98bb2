// A UDP proxy on 127.0.0.1 that makes the DNS server behind it look far
// away, for benchmarks: each answer reaches the asker one round trip after
// the query was sent. Queries from several askers at once are each held on
// their own, not one after another.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/Fd.h"

namespace testing_support {

class UdpDelayProxy {
 public:
  UdpDelayProxy(const sockaddr_in& server, std::chrono::milliseconds roundTrip);
  ~UdpDelayProxy();
  UdpDelayProxy(const UdpDelayProxy&) = delete;
  UdpDelayProxy& operator=(const UdpDelayProxy&) = delete;

  std::string Address() const;  // "127.0.0.1:PORT"

 private:
  void Serve();

  const sockaddr_in server_;
  const std::chrono::milliseconds roundTrip_;
  os::Fd socket_;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace testing_support
