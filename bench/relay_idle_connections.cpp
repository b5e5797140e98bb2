// What idle mail program connections cost the relay: resident memory per
// connection with the relay's own connection threads after the greeting, and
// CPU time while they sit idle. The clients live in a child process so that
// only the relay's side counts. Bounded: a fixed number of loopback
// connections, every wait limited.
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "delivery/MySMTPThread.h"
#include "delivery/RelayServer.h"
#include "log/OperationLog.h"
#include "platform/NetAddress.h"
#include "support/ProcessStats.h"
#include "support/Timing.h"

using testing_support::CpuSeconds;
using testing_support::ResidentKiB;

namespace {

constexpr int kConnections = 1000;
constexpr int kWarmUpConnections = 8;
constexpr auto kIdleTime = std::chrono::seconds(2);
constexpr int kWaitMs = 5000;

// Each side announces its steps with one byte over a pipe.
bool SendByte(int fd, char byte) { return write(fd, &byte, 1) == 1; }
bool WaitByte(int fd, char expected, int timeoutMs = 30000) {
  pollfd entry{fd, POLLIN, 0};
  char byte = 0;
  return poll(&entry, 1, timeoutMs) > 0 && read(fd, &byte, 1) == 1 && byte == expected;
}

// A connected socket that has read the greeting line, or -1.
int GreetedConnection(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = os::MakeAddress("127.0.0.1", port);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    std::string greeting;
    char c = 0;
    pollfd entry{fd, POLLIN, 0};
    while (greeting.size() < 512 && poll(&entry, 1, kWaitMs) > 0 && ::read(fd, &c, 1) == 1) {
      greeting += c;
      if (c == '\n') return greeting.rfind("220 ", 0) == 0 ? fd : (::close(fd), -1);
    }
  }
  ::close(fd);
  return -1;
}

int OpenConnections(uint16_t port, int count, std::vector<int>& fds) {
  int opened = 0;
  for (int i = 0; i < count; ++i) {
    const int fd = GreetedConnection(port);
    if (fd >= 0) {
      fds.push_back(fd);
      ++opened;
    }
  }
  return opened;
}

void CloseAll(std::vector<int>& fds) {
  for (int fd : fds) ::close(fd);
  fds.clear();
}

// The child: warm-up connections, then the idle ones, each step on the
// parent's word.
[[noreturn]] void RunClients(int fromParent, int toParent) {
  uint16_t port = 0;
  if (read(fromParent, &port, sizeof port) != sizeof port) _exit(1);
  std::vector<int> fds;
  OpenConnections(port, kWarmUpConnections, fds);
  CloseAll(fds);
  SendByte(toParent, 'w');
  if (!WaitByte(fromParent, 'g')) _exit(1);
  const int opened = OpenConnections(port, kConnections, fds);
  if (write(toParent, &opened, sizeof opened) != sizeof opened) _exit(1);
  WaitByte(fromParent, 'q', 60000);
  CloseAll(fds);
  _exit(0);
}

bool WaitForThreads(RelayServer& relay, int count) {
  return testing_support::Eventually([&] { return relay.Listener().ThreadCount() == count; },
                                     std::chrono::seconds(30));
}

void RaiseDescriptorLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  std::printf("open file limit: %llu\n", static_cast<unsigned long long>(limit.rlim_cur));
}

int Measure(int fromChild, int toChild) {
  TOperationLog log;
  RelayServer relay(log);
  relay.Start("Postwick", 0, "127.0.0.1");
  const uint16_t port = relay.Listener().BoundPort();
  if (write(toChild, &port, sizeof port) != sizeof port || !WaitByte(fromChild, 'w')) return 1;
  // Thread stacks and allocator arenas of the warm-up connections stay
  // cached, as in a relay that has run a while.
  WaitForThreads(relay, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));

  const long before = ResidentKiB();
  const auto openStart = std::chrono::steady_clock::now();
  int opened = 0;
  if (!SendByte(toChild, 'g')) return 1;
  pollfd entry{fromChild, POLLIN, 0};
  if (poll(&entry, 1, 60000) <= 0 || read(fromChild, &opened, sizeof opened) != sizeof opened) return 1;
  const double openSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - openStart).count();
  if (!WaitForThreads(relay, opened)) std::printf("not all connection threads arrived\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const long after = ResidentKiB();
  const int threads = relay.ActiveThreadCount();

  const double cpuBefore = CpuSeconds();
  std::this_thread::sleep_for(kIdleTime);
  const double cpuIdle = CpuSeconds() - cpuBefore;

  const double perConnection = opened > 0 ? static_cast<double>(after - before) / opened : 0;
  std::printf("%d of %d connections greeted in %.2f s, %d relay connection threads\n", opened, kConnections,
              openSeconds, threads);
  std::printf("resident: %ld KiB before, %ld KiB after: +%ld KiB, %.1f KiB per connection (target <= 64)\n",
              before, after, after - before, perConnection);
  std::printf("CPU while idle for %lld s: %.4f s (target ~0)\n", static_cast<long long>(kIdleTime.count()),
              cpuIdle);

  const auto stopStart = std::chrono::steady_clock::now();
  relay.Shutdown();
  std::printf(
      "shutdown with them open: %.0f ms\n",
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopStart).count());
  SendByte(toChild, 'q');
  return opened == kConnections ? 0 : 1;
}

}  // namespace

int main() {
  RaiseDescriptorLimit();
  int down[2], up[2];
  if (pipe(down) != 0 || pipe(up) != 0) return 1;
  std::fflush(stdout);
  // Forked before any thread exists, so the child is an ordinary process.
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    close(down[1]);
    close(up[0]);
    RunClients(down[0], up[1]);
  }
  close(down[0]);
  close(up[1]);
  const int result = Measure(up[0], down[1]);
  close(down[1]);
  int status = 0;
  waitpid(child, &status, 0);
  return result;
}
