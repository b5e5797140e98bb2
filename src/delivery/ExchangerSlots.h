// How many connections the deliveries of one message hold to each exchanger
// host at once: a few at most, since receiving servers throttle or refuse a
// burst of connections from one address.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>

class ExchangerSlots {
 public:
  explicit ExchangerSlots(std::size_t perHost) : perHost_(perHost) {}
  ExchangerSlots(const ExchangerSlots&) = delete;
  ExchangerSlots& operator=(const ExchangerSlots&) = delete;

  // Takes one of host's slots, waiting while all are taken. False, with no
  // slot taken, as soon as stop() is true. Host names match without regard
  // to case.
  bool Acquire(const std::string& host, const std::function<bool()>& stop);
  void Release(const std::string& host);

 private:
  const std::size_t perHost_;
  std::mutex lock_;
  std::condition_variable freed_;
  std::map<std::string, std::size_t> taken_;  // by lower-case host name
};
