// What this process uses, for the benchmarks: resident memory and CPU time.
#pragma once

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace testing_support {

// Resident set size in KiB, from /proc/self/status.
inline long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
  }
  return 0;
}

// User and system CPU time used so far, in seconds.
inline double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace testing_support
