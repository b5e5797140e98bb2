// The built program started headless, as on a server: it must listen on the
// configured port and greet, say so in one line and nothing else, end in an
// orderly way on each exit signal, keep running under nohup, refuse a port
// it cannot take as written, and outlast a flood of idle connections.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Fd.h"
#include "platform/NetAddress.h"
#include "support/AppProcess.h"
#include "support/RelayHarness.h"
#include "support/TempFolder.h"
#include "support/Timing.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> HeadlessArgs(const TempFolder& data) {
  return {"--headless", "--data-dir", data.Path()};
}

// The soft limit of open files of a process, from /proc/<pid>/limits.
std::string SoftOpenFilesLimit(pid_t pid) {
  std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
  const std::string name = "Max open files";
  std::string line, soft;
  while (std::getline(limits, line)) {
    if (line.rfind(name, 0) == 0) std::istringstream(line.substr(name.size())) >> soft;
  }
  return soft;
}

}  // namespace

TEST(HeadlessStart, GreetsOnTheConfiguredPortAndExitsOnEachSignal) {
  const struct {
    int signal;
    const char* name;
  } cases[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder data;
    const uint16_t port = FreeTcpPort();
    WriteHeadlessSettings(data.Path(), port);
    AppProcess app(POSTWICK_EXECUTABLE, HeadlessArgs(data));

    const auto greeting = WaitForGreeting(port, std::chrono::seconds(10));
    ASSERT_TRUE(greeting.has_value()) << "no greeting on port " << port;
    EXPECT_EQ(*greeting, "220 Welcome to the Postwick");

    ASSERT_TRUE(app.Stop(c.signal, std::chrono::seconds(5))) << "still running 5 s after the signal";
    EXPECT_TRUE(WIFEXITED(app.ExitStatus())) << "wait status " << app.ExitStatus();
    EXPECT_EQ(WEXITSTATUS(app.ExitStatus()), 0);
  }
}

// One line says where the relay listens, for whom and with which DNS server;
// Qt's own remarks (here: no XDG_RUNTIME_DIR) are not for the user unless
// asked for with --verbose.
TEST(HeadlessStart, SaysWhereItListensAndNothingElse) {
  for (const bool verbose : {false, true}) {
    SCOPED_TRACE(verbose ? "--verbose" : "normal run");
    TempFolder data;
    const uint16_t port = FreeTcpPort();
    WriteHeadlessSettings(data.Path(), port);
    std::vector<std::string> args = HeadlessArgs(data);
    if (verbose) args.push_back("--verbose");
    AppProcess app(POSTWICK_EXECUTABLE, args, data.File("stderr"), "", {"XDG_RUNTIME_DIR"});
    ASSERT_TRUE(WaitForGreeting(port, 10s).has_value());
    ASSERT_TRUE(app.Stop(SIGTERM, 5s));
    const std::string said = TempFolder::Read(data.File("stderr"));
    const std::string listening =
        "Listening on port " + std::to_string(port) +
        ", accepting connections from this computer only; DNS server: 127.0.0.1:9.\n";
    if (verbose) {
      EXPECT_NE(said.find(listening), std::string::npos) << said;
      EXPECT_NE(said.find("XDG_RUNTIME_DIR"), std::string::npos) << said;
    } else {
      EXPECT_EQ(said, listening);
    }
  }
}

// nohup (and a shell's background job) starts the program with SIGHUP
// ignored, so that it outlives the terminal.
TEST(HeadlessStart, NohupKeepsItRunningWhenTheTerminalHangsUp) {
  TempFolder data;
  const uint16_t port = FreeTcpPort();
  WriteHeadlessSettings(data.Path(), port);
  std::vector<std::string> args{POSTWICK_EXECUTABLE};
  for (const auto& arg : HeadlessArgs(data)) args.push_back(arg);
  AppProcess app("/usr/bin/nohup", args, data.File("stderr"));
  ASSERT_TRUE(WaitForGreeting(port, 10s).has_value()) << TempFolder::Read(data.File("stderr"));
  ::kill(app.Pid(), SIGHUP);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(app.WaitForExit(0ms), std::nullopt) << "SIGHUP ended a program started under nohup";
  EXPECT_TRUE(WaitForGreeting(port, 2s).has_value());
  ASSERT_TRUE(app.Stop(SIGTERM, 5s));
  EXPECT_EQ(app.WaitForExit(0ms), 0);
}

// A PORT that is not a plain number from 1 to 65535 is named in the error and
// never bound: no "+41851" as 41851, no "0" as a random port, no "70000" as
// 4464, no "-5" as 65531.
TEST(HeadlessStart, PortsThatAreNoPortNumbersAreRefusedByName) {
  const std::string free = std::to_string(FreeTcpPort());
  for (const std::string& bad :
       {free + " ", "+" + free, std::string("0"), std::string("70000"), std::string("-5"), free + "x"}) {
    SCOPED_TRACE('"' + bad + '"');
    TempFolder data;
    TempFolder::Write(data.File("postwick.opt"),
                      "USERPORT=1\r\nPORT=" + bad + "\r\nUSERDNS=1\r\nDNS=127.0.0.1:9\r\n");
    AppProcess app(POSTWICK_EXECUTABLE, HeadlessArgs(data), data.File("stderr"));
    EXPECT_EQ(app.WaitForExit(5s), 1) << "the program must not run on a port it guessed";
    const std::string said = TempFolder::Read(data.File("stderr"));
    EXPECT_NE(said.find("Error: Could not listen: the port \"" + bad + "\""), std::string::npos) << said;
  }
}

// With few descriptors, a flood of idle local connections must leave enough
// for the log to be saved and, once it ends, for a real client.
TEST(HeadlessStart, DescriptorsOutlastAFloodOfIdleConnections) {
  TempFolder data;
  const uint16_t port = FreeTcpPort();
  WriteHeadlessSettings(data.Path(), port);
  std::vector<std::string> args{"--nofile=100:160", POSTWICK_EXECUTABLE};
  for (const auto& arg : HeadlessArgs(data)) args.push_back(arg);
  AppProcess app("/usr/bin/prlimit", args, data.File("stderr"));
  ASSERT_TRUE(WaitForGreeting(port, 10s).has_value()) << TempFolder::Read(data.File("stderr"));
  EXPECT_EQ(SoftOpenFilesLimit(app.Pid()), "160") << "the soft limit is raised to the hard one";

  SmtpSession before(port);
  // Connections that say nothing and never close, more than the limit allows.
  std::vector<os::Fd> flood;
  const sockaddr_in address = os::MakeAddress("127.0.0.1", port);
  for (int i = 0; i < 300; ++i) {
    os::Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    flood.push_back(std::move(fd));
    if (i % 20 == 19) std::this_thread::sleep_for(20ms);  // the listen queue holds 32
  }
  std::this_thread::sleep_for(300ms);  // let the program take them all in

  EXPECT_EQ(before.Send(SimpleMail({"nodomain"}, "DuringTheFlood")), "550 Invalid recipient: nodomain");
  const std::string logFile = data.File("postwick.log");
  EXPECT_TRUE(
      Eventually([&] { return TempFolder::Read(logFile).find("DuringTheFlood") != std::string::npos; }, 8s))
      << "the log could not be saved during the flood";

  flood.clear();
  EXPECT_TRUE(Eventually([&] { return WaitForGreeting(port, 500ms).has_value(); }, 5s));
  SmtpSession after(port);
  EXPECT_EQ(after.Send(SimpleMail({"other"}, "AfterTheFlood")), "550 Invalid recipient: other");
  ASSERT_TRUE(app.Stop(SIGTERM, 8s));
  EXPECT_NE(TempFolder::Read(logFile).find("AfterTheFlood"), std::string::npos);
}
