// How fast the built program starts headless: the time from launch until its
// port accepts and greets, its CPU time while idle afterwards, and how soon
// it ends on SIGTERM. Bounded: a few starts, every wait limited.
//
//   bench_startup [path-to-postwick]   (default: this build's program)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/AppProcess.h"
#include "support/TempFolder.h"

#ifndef POSTWICK_EXECUTABLE
#define POSTWICK_EXECUTABLE "postwick"
#endif

using Clock = std::chrono::steady_clock;
using namespace testing_support;

namespace {

constexpr int kStarts = 3;
constexpr auto kGreetingLimit = std::chrono::seconds(10);
constexpr auto kIdleTime = std::chrono::seconds(3);
constexpr auto kStopLimit = std::chrono::seconds(5);

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long value = 0;
  while (status >> key)
    if (key == "VmRSS:") return status >> value ? value : 0;
  return 0;
}

struct StartFigures {
  double startMs = -1;  // launch to greeting; -1 when it never greeted
  double startCpu = 0;
  double idleCpu = 0;
  long residentKiB = 0;
  double stopMs = -1;  // SIGTERM to exit; -1 when it did not end in time
  int exitCode = -1;
};

StartFigures StartOnce(const std::string& executable) {
  StartFigures figures;
  TempFolder data;
  const uint16_t port = FreeTcpPort();
  WriteHeadlessSettings(data.Path(), port);

  const auto launched = Clock::now();
  AppProcess app(executable, {"--headless", "--data-dir", data.Path()});
  const auto greeting = WaitForGreeting(port, kGreetingLimit);
  if (!greeting || greeting->rfind("220 ", 0) != 0) return figures;
  figures.startMs = std::chrono::duration<double, std::milli>(Clock::now() - launched).count();

  figures.startCpu = app.CpuSeconds();
  std::this_thread::sleep_for(kIdleTime);
  figures.idleCpu = app.CpuSeconds() - figures.startCpu;
  figures.residentKiB = ResidentKiB(app.Pid());

  const auto signalled = Clock::now();
  if (app.Stop(SIGTERM, kStopLimit)) {
    figures.stopMs = std::chrono::duration<double, std::milli>(Clock::now() - signalled).count();
    if (WIFEXITED(app.ExitStatus())) figures.exitCode = WEXITSTATUS(app.ExitStatus());
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string executable = argc > 1 ? argv[1] : POSTWICK_EXECUTABLE;
  if (::access(executable.c_str(), X_OK) != 0) {
    std::printf("no program at %s (build with POSTWICK_BUILD_APP=ON): nothing measured\n",
                executable.c_str());
    return 0;
  }
  std::printf("%s --headless, %d starts (CPU times in clock ticks of %.0f ms)\n", executable.c_str(), kStarts,
              1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK)));
  std::vector<double> startMs;
  bool allGood = true;
  for (int run = 1; run <= kStarts; ++run) {
    const StartFigures f = StartOnce(executable);
    if (f.startMs < 0) {
      std::printf("start %d: no greeting within %lld s\n", run,
                  static_cast<long long>(kGreetingLimit.count()));
      allGood = false;
      continue;
    }
    startMs.push_back(f.startMs);
    std::printf(
        "start %d: greeting after %.1f ms (target < 200), %.2f s CPU to start, %ld KiB resident; "
        "CPU while idle %lld s: %.2f s (target ~0); ",
        run, f.startMs, f.startCpu, f.residentKiB, static_cast<long long>(kIdleTime.count()), f.idleCpu);
    if (f.stopMs < 0) {
      std::printf("still running %lld s after SIGTERM\n", static_cast<long long>(kStopLimit.count()));
      allGood = false;
    } else {
      std::printf("SIGTERM to exit %.0f ms, exit code %d\n", f.stopMs, f.exitCode);
      allGood = allGood && f.exitCode == 0;
    }
  }
  if (!startMs.empty()) {
    const auto [low, high] = std::minmax_element(startMs.begin(), startMs.end());
    std::printf("greeting after %.1f .. %.1f ms\n", *low, *high);
  }
  return allGood ? 0 : 1;
}
