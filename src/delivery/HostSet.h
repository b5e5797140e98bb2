// A set of exchanger host names that the deliveries of one message share
// across threads, such as the hosts whose STARTTLS failed: each worker's
// client reads and adds to it under one lock.
#pragma once

#include <mutex>
#include <set>
#include <string>

class HostSet {
 public:
  bool Contains(const std::string& host) const {
    const std::lock_guard<std::mutex> guard(lock_);
    return hosts_.contains(host);
  }
  void Insert(const std::string& host) {
    const std::lock_guard<std::mutex> guard(lock_);
    hosts_.insert(host);
  }
  std::set<std::string> Hosts() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return hosts_;
  }

 private:
  mutable std::mutex lock_;
  std::set<std::string> hosts_;
};
