// The figures and the stop flag that a relay's connection threads share with
// the interface thread. The relay owns them; every connection thread holds
// them too, so a thread that finishes after its relay has gone still counts
// into live memory.
#pragma once

#include <atomic>
#include <cstdint>

struct RelayCounters {
  // Recipients delivered and failed since the relay started (the main window
  // may set them back to zero).
  std::atomic<int32_t> SentCount{0};
  std::atomic<int32_t> FailedCount{0};
  // Connection threads alive (the main window's thread load).
  std::atomic<int32_t> ActiveThreadCount{0};
  // Set once when the relay begins to stop; deliveries give up at their
  // next recipient.
  std::atomic<bool> ShuttingDown{false};
};
