// What one large message costs the relay in memory: a mail program sends a
// message of many short lines (the worst case for per-line storage) and of
// typical 76-byte lines through the whole relay to a loopback exchanger; the
// benchmark prints the resident memory before, at its peak while the message
// is received and relayed, and after the delivery. Bounded: one message per
// run, a size limit and a time limit; everything stays on loopback.
//
//   bench_message_memory [megabytes]   (default 50, at most 200)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/Failure.h"
#include "support/ProcessStats.h"
#include "support/RelayHarness.h"
#include "support/SmtpWireClient.h"

using namespace testing_support;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDefaultMegabytes = 50;
constexpr int kMaxMegabytes = 200;
constexpr int kReplyWaitMs = 300000;
constexpr std::size_t kChunk = 256 * 1024;

// The peak resident size since the last reset, from /proc/self/status; a
// reset writes "5" to /proc/self/clear_refs (Linux 4.0 and later).
long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmHWM:") {
      status >> value;
      return value;
    }
  }
  return 0;
}

void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct Figures {
  long before = 0, peak = 0, after = 0;
  double seconds = 0;
  std::string reply;
};

// Sends one message whose body is `bodyBytes` bytes of lines `lineLength`
// characters long, in large writes, and measures the relay around it.
Figures RelayOneMessage(RelayHarness& harness, std::size_t bodyBytes, std::size_t lineLength) {
  SmtpWireClient client(harness.RelayPort());
  client.ReadLine();
  client.Command("HELO bench.test");
  client.Command("MAIL FROM:<sender@home.test>");
  client.Command("RCPT TO:<big@big.test>");
  client.Command("DATA");

  Figures figures;
  figures.before = ResidentKiB();
  ResetPeakResident();
  const auto start = Clock::now();
  std::string line(lineLength, 'x');
  line += "\r\n";
  std::string chunk = "From: <sender@home.test>\r\nTo: <big@big.test>\r\nSubject: big\r\n\r\n";
  for (std::size_t sent = 0; sent < bodyBytes; sent += line.size()) {
    chunk += line;
    if (chunk.size() >= kChunk) {
      client.SendRaw(chunk);
      chunk.clear();
    }
  }
  client.SendRaw(chunk + ".\r\n");
  try {
    figures.reply = client.ReadLine(kReplyWaitMs);
  } catch (const EFailure& e) {
    figures.reply = std::string("no reply: ") + e.what();
  }
  figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  figures.peak = PeakResidentKiB();
  figures.after = ResidentKiB();
  try {
    client.Command("QUIT");
  } catch (const EFailure&) {
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  int megabytes = argc > 1 ? std::atoi(argv[1]) : kDefaultMegabytes;
  if (megabytes <= 0 || megabytes > kMaxMegabytes) megabytes = kDefaultMegabytes;
  const std::size_t bodyBytes = static_cast<std::size_t>(megabytes) * 1000 * 1000;

  FakeSmtpScript script;
  script.record = false;
  RelayHarness harness(1, script);
  harness.Dns().AddMx("big.test", {{10, "127.0.0.2"}});

  std::printf("one message of %d MB through the relay; resident memory of the whole process in MiB\n",
              megabytes);
  std::printf("%-12s %10s %8s %8s %8s %8s %9s  %s\n", "line length", "lines", "before", "peak", "after",
              "peak/MB", "seconds", "reply");
  for (const std::size_t lineLength : {std::size_t{1}, std::size_t{76}}) {
    const Figures f = RelayOneMessage(harness, bodyBytes, lineLength);
    const double peakGrowth = (f.peak - f.before) / 1024.0;
    std::printf("%-12zu %10zu %8.1f %8.1f %8.1f %8.2f %9.2f  %s\n", lineLength, bodyBytes / (lineLength + 2),
                f.before / 1024.0, f.peak / 1024.0, f.after / 1024.0, peakGrowth / (bodyBytes / 1048576.0),
                f.seconds, f.reply.c_str());
  }
  return harness.Exchanger(0).MessageCount() == 2 ? 0 : 1;
}
