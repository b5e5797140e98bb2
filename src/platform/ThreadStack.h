// The stack size to ask for when a thread is started with a small stack of
// its own choosing.
#pragma once

#include <pthread.h>

#include <climits>
#include <cstddef>

namespace os {

// Instrumented code of the sanitizers needs several times the stack.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr std::size_t kStackFactor = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr std::size_t kStackFactor = 4;
#else
inline constexpr std::size_t kStackFactor = 1;
#endif
#else
inline constexpr std::size_t kStackFactor = 1;
#endif

// Sets the stack size of attributes to at least `requested` bytes, scaled for
// the sanitizers and never below the system's minimum.
inline void SetStackSize(pthread_attr_t& attributes, std::size_t requested) {
  std::size_t size = requested * kStackFactor;
  if (size < static_cast<std::size_t>(PTHREAD_STACK_MIN)) size = PTHREAD_STACK_MIN;
  pthread_attr_setstacksize(&attributes, size);
}

}  // namespace os
