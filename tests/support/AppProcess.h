// The built application as a child process, for system tests and
// benchmarks: start it headless on a data folder whose settings make it
// listen on a given loopback-reachable port and never ask a real DNS server,
// wait for its greeting, read its CPU time, and stop it with a signal.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A TCP port that was free a moment ago on every local address.
uint16_t FreeTcpPort();

// Writes the settings file of a data folder: listen on port, accept local
// connections only, and send MX queries to 127.0.0.1:9, where nobody answers.
void WriteHeadlessSettings(const std::string& dataDir, uint16_t port);

// Connects to 127.0.0.1:port again and again until it accepts, then reads the
// first line; the line without its CR LF, or nothing when the limit passed.
std::optional<std::string> WaitForGreeting(uint16_t port, std::chrono::milliseconds limit);

class AppProcess {
 public:
  // Starts executable with args, its standard error into errorFile and its
  // standard output into outputFile when they are named; throws
  // std::runtime_error when it cannot.
  AppProcess(const std::string& executable, const std::vector<std::string>& args,
             const std::string& errorFile = "", const std::string& outputFile = "");
  // Kills the process if it still runs and reaps it.
  ~AppProcess();
  AppProcess(const AppProcess&) = delete;
  AppProcess& operator=(const AppProcess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running();
  // User and system CPU time used so far, from /proc/<pid>/stat; -1 when gone.
  double CpuSeconds() const;
  // Sends the signal and waits at most limit for the process to end.
  // True when it ended; ExitStatus() then holds its wait status.
  bool Stop(int signal, std::chrono::milliseconds limit);
  int ExitStatus() const { return status_; }
  // The exit code once the process ended within limit (128 + the signal
  // when a signal ended it); nothing while it still runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit);

 private:
  bool Reap(bool wait);

  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

}  // namespace testing_support
