// The program as a user runs it: real processes, one instance per data
// folder, the "open" and "close" arguments, and an orderly exit on SIGTERM
// that keeps the log.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "platform/TcpListener.h"
#include "support/AppProcess.h"
#include "support/Timing.h"
#include "support/RelayHarness.h"
#include "support/TempFolder.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

// One run of the program, headless, with its files in a data folder and
// its standard error in a file there.
class Program : public AppProcess {
 public:
  Program(const std::string& dataDir, std::vector<std::string> args)
      : Program(dataDir, std::move(args), dataDir + "/stderr-" + std::to_string(++runs)) {}
  std::string Errors() const { return TempFolder::Read(errorFile_); }
  void Signal(int signal) { ::kill(Pid(), signal); }

 private:
  Program(const std::string& dataDir, std::vector<std::string> args, std::string errorFile)
      : AppProcess(POSTWICK_EXECUTABLE, WithDataDir(dataDir, std::move(args)), errorFile),
        errorFile_(std::move(errorFile)) {}
  static std::vector<std::string> WithDataDir(const std::string& dataDir, std::vector<std::string> args) {
    args.insert(args.begin(), {"--headless", "--data-dir", dataDir});
    return args;
  }
  static inline int runs = 0;
  std::string errorFile_;
};

bool Greets(uint16_t port) {
  return WaitForGreeting(port, 1000ms) == std::optional<std::string>("220 Welcome to the Postwick");
}

class InstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = FreeTcpPort();
    WriteHeadlessSettings(folder_.Path(), port_);
  }
  std::unique_ptr<Program> StartFirst() {
    auto program = std::make_unique<Program>(folder_.Path(), std::vector<std::string>{});
    EXPECT_TRUE(Eventually([&] { return Greets(port_); }, 10s)) << program->Errors();
    return program;
  }

  TempFolder folder_;
  uint16_t port_ = 0;
};

}  // namespace

TEST_F(InstanceTest, SecondInstanceHandsOverAndEnds) {
  auto first = StartFirst();
  struct Case {
    std::vector<std::string> args;
    std::string firstShows;  // what the running instance then writes
  } cases[] = {
      {{}, ""},
      {{"Open"}, ""},  // letter case matters: like no argument
      {{"open"}, "Open: running headless"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no argument" : c.args[0]);
    const std::size_t shownBefore = first->Errors().size();
    Program second(folder_.Path(), c.args);
    EXPECT_EQ(second.WaitForExit(5s), 0);
    auto shown = [&] { return first->Errors().substr(shownBefore); };
    if (c.firstShows.empty()) {
      std::this_thread::sleep_for(300ms);  // the hand-over is done; give a wrong reaction time to show
      EXPECT_EQ(shown(), "");
    } else {
      EXPECT_TRUE(Eventually([&] { return shown().find(c.firstShows) != std::string::npos; }, 3s)) << shown();
    }
  }
  EXPECT_EQ(first->WaitForExit(0ms), std::nullopt) << "the first instance must keep running";
  EXPECT_TRUE(Greets(port_));
}

TEST_F(InstanceTest, CloseEndsTheRunningInstance) {
  auto first = StartFirst();
  Program closer(folder_.Path(), {"close"});
  EXPECT_EQ(first->WaitForExit(3s), 0) << first->Errors();
  EXPECT_EQ(closer.WaitForExit(12s), 0);  // it waits a while before it ends
}

TEST_F(InstanceTest, LogIsSavedWhileRunningAndOnSigterm) {
  auto first = StartFirst();
  const std::string logFile = folder_.File("postwick.log");
  SmtpSession session(port_);
  // No domain: fails at once without asking DNS, and is logged.
  EXPECT_EQ(session.Send(SimpleMail({"nodomain"}, "Kept")), "550 Invalid recipient: nodomain");
  EXPECT_TRUE(Eventually([&] { return TempFolder::Read(logFile).find("Kept") != std::string::npos; }, 8s))
      << "a record must reach the file while the relay runs";

  EXPECT_EQ(session.Send(SimpleMail({"other"}, "AtExit")), "550 Invalid recipient: other");
  first->Signal(SIGTERM);
  EXPECT_EQ(first->WaitForExit(5s), 0) << first->Errors();
  const std::string log = TempFolder::Read(logFile);
  EXPECT_EQ(log.rfind("0 nodomain\tKept\tCould not resolve domain\t", 0), 0u) << log;
  EXPECT_NE(log.find("\r\n0 other\tAtExit\tCould not resolve domain\t"), std::string::npos) << log;
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

TEST_F(InstanceTest, OpenWithoutARunningInstanceOpensAfterStart) {
  Program program(folder_.Path(), {"open"});
  EXPECT_TRUE(
      Eventually([&] { return program.Errors().find("Open: running headless") != std::string::npos; }, 5s))
      << program.Errors();
  EXPECT_TRUE(Greets(port_));
}

TEST_F(InstanceTest, TakenPortIsReportedAndTheProgramEnds) {
  os::TcpListener holder;
  holder.Listen("", port_, 1);
  Program program(folder_.Path(), {});
  EXPECT_EQ(program.WaitForExit(5s), 1);
  EXPECT_NE(program.Errors().find("Error: Could not bind socket. Address and port are already in use."),
            std::string::npos)
      << program.Errors();
}
