#include "platform/DescriptorLimit.h"

#include <sys/resource.h>

#include <limits>

namespace os {

namespace {

std::size_t AsSize(rlim_t value) {
  if (value == RLIM_INFINITY || value > std::numeric_limits<std::size_t>::max())
    return std::numeric_limits<std::size_t>::max();
  return static_cast<std::size_t>(value);
}

}  // namespace

std::size_t RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur != limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    // Some systems refuse an infinite soft limit; the old one then stays.
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return AsSize(limit.rlim_cur);
}

std::size_t OpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  return AsSize(limit.rlim_cur);
}

}  // namespace os
