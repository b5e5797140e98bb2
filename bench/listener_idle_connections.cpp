// What idle connections cost the listener: resident memory per connection
// (fresh, and after a message went through), CPU time while they sit idle,
// and how long deactivation takes with all of them open. Bounded: a fixed
// number of loopback connections, a fixed idle time.
#include <netinet/in.h>
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

#include "intake/LocalServer.h"
#include "support/ListenerFixture.h"
#include "support/ProcessStats.h"
#include "support/Timing.h"

using testing_support::CpuSeconds;
using testing_support::ResidentKiB;

namespace {

constexpr int kConnections = 200;

bool WaitForThreads(LocalServer& server, int count) {
  return testing_support::Eventually([&] { return server.ThreadCount() == count; }, std::chrono::seconds(20));
}

// Opens the connections, optionally sends one message on each, and reports
// the resident memory they added.
void Measure(bool withMessage) {
  LocalServer server;
  server.Bindings = {{"127.0.0.1", 0}};
  server.Greeting.Text = {"Welcome to the Postwick"};
  server.OnReceiveMessage = [](SmtpConnectionThread&, TIdMessage&, TIdEMailAddressList&, std::string&) {};
  server.SetActive(true);
  // Warm up allocator arenas and the first thread, so they do not count.
  {
    testing_support::SmtpWireClient warm(server.BoundPort());
    warm.ReadRawLine();
    warm.Command("QUIT");
  }
  WaitForThreads(server, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));

  const long before = ResidentKiB();
  std::vector<std::unique_ptr<testing_support::SmtpWireClient>> clients;
  for (int i = 0; i < kConnections; ++i) {
    clients.push_back(std::make_unique<testing_support::SmtpWireClient>(server.BoundPort()));
    clients.back()->ReadRawLine();
    if (withMessage) {
      clients.back()->SendRaw("HELO b\r\nMAIL FROM:<a@b.c>\r\nRCPT TO:<d@e.f>\r\nDATA\r\nSubject: s\r\n\r\n" +
                              std::string(3000, 'x') + "\r\n.\r\n");
      clients.back()->ReadRawLines(5);
    }
  }
  if (!WaitForThreads(server, kConnections)) std::printf("not all connections arrived\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const long after = ResidentKiB();

  const double cpuBefore = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const double cpuIdle = CpuSeconds() - cpuBefore;

  const auto start = std::chrono::steady_clock::now();
  server.SetActive(false);
  const auto stopMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();

  std::printf(
      "%-26s %d connections: +%ld KiB resident, %.1f KiB each; CPU while idle 1 s: %.4f s; "
      "deactivation: %lld ms\n",
      withMessage ? "after one message each:" : "fresh after the greeting:", kConnections, after - before,
      static_cast<double>(after - before) / kConnections, cpuIdle, static_cast<long long>(stopMs));
}

}  // namespace

int main() {
  // Each measurement in a fresh process: freed stacks and heap that one run
  // leaves cached would make the next one look cheaper than it is.
  for (bool withMessage : {false, true}) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      Measure(withMessage);
      std::fflush(stdout);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
  }
  return 0;
}
