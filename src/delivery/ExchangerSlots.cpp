#include "delivery/ExchangerSlots.h"

#include <chrono>

#include "platform/AsciiText.h"

namespace {

// A stop is noticed this soon by a delivery waiting for a slot; nothing
// wakes the wait for it, since the stop comes from another part of the relay.
constexpr auto kStopCheckInterval = std::chrono::milliseconds(20);

}  // namespace

bool ExchangerSlots::Acquire(const std::string& host, const std::function<bool()>& stop) {
  const std::string key = ascii::ToLower(host);
  std::unique_lock lock(lock_);
  for (;;) {
    if (stop()) return false;
    std::size_t& taken = taken_[key];
    if (taken < perHost_) {
      ++taken;
      return true;
    }
    freed_.wait_for(lock, kStopCheckInterval);
  }
}

void ExchangerSlots::Release(const std::string& host) {
  const std::string key = ascii::ToLower(host);
  {
    std::lock_guard lock(lock_);
    auto found = taken_.find(key);
    if (found == taken_.end()) return;
    if (--found->second == 0) taken_.erase(found);
  }
  freed_.notify_all();
}
