// Waiting for a condition and timing a call, for tests that check how soon
// something happens. Every wait has a limit so a failing test cannot hang.
#pragma once

#include <chrono>
#include <functional>

namespace testing_support {

// Polls a condition every few milliseconds until it holds or the limit passes.
bool Eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

// How long a call took, in whole milliseconds.
template <typename F>
std::chrono::milliseconds TimeOf(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace testing_support
