// The built program started where a desktop should be: a display that is
// dead or never answers must give a headless relay (and a working "close"),
// the display going away must not lose the log, and an exit signal must end
// the program while a start-up message is open.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/TcpListener.h"
#include "support/AppProcess.h"
#include "support/FakeX11Display.h"
#include "support/RelayHarness.h"
#include "support/TempFolder.h"
#include "support/Timing.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";

// A desktop start: no --headless, and the environment's display as given
// (the tests' own offscreen platform removed).
class DesktopStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = FreeTcpPort();
    WriteHeadlessSettings(data_.Path(), port_);
  }
  std::unique_ptr<AppProcess> Start(const std::vector<std::string>& environment,
                                    std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--data-dir", data_.Path()});
    std::vector<std::string> variables{"QT_QPA_PLATFORM", "WAYLAND_DISPLAY"};
    variables.insert(variables.end(), environment.begin(), environment.end());
    return std::make_unique<AppProcess>(POSTWICK_EXECUTABLE, args,
                                        data_.File("stderr-" + std::to_string(++runs_)), "", variables);
  }
  std::string Said(int run) const { return TempFolder::Read(data_.File("stderr-" + std::to_string(run))); }

  TempFolder data_;
  uint16_t port_ = 0;
  int runs_ = 0;
};

}  // namespace

TEST_F(DesktopStartTest, ADeadDisplayGivesAHeadlessRelayAndAWorkingClose) {
  SilentX11Display silent;
  const struct {
    const char* name;
    std::string display;
  } cases[] = {
      {"nobody serves the display", ":" + std::to_string(UnusedDisplayNumber())},
      {"the display accepts and never answers", silent.Name()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto relay = Start({"DISPLAY=" + c.display});
    const int relayRun = runs_;
    ASSERT_TRUE(WaitForGreeting(port_, 10s).has_value()) << Said(relayRun);
    EXPECT_NE(Said(relayRun).find("The display " + c.display + " does not answer: Postwick runs headless."),
              std::string::npos)
        << Said(relayRun);

    // "close" reaches the running relay without ever touching the display.
    auto closer = Start({"DISPLAY=" + c.display}, {"close"});
    EXPECT_EQ(relay->WaitForExit(5s), 0) << Said(relayRun);
    EXPECT_EQ(closer->WaitForExit(0ms), std::nullopt) << "close ended early: " << Said(runs_);
  }
}

// When the X server dies, Qt ends the program from inside its event loop;
// records written until then must reach the log file all the same.
TEST_F(DesktopStartTest, TheDisplayGoingAwayKeepsTheLog) {
  if (::access(kXvfb, X_OK) != 0) GTEST_SKIP() << "needs Xvfb";
  ::mkdir("/tmp/.X11-unix", 01777);
  const int number = UnusedDisplayNumber();
  AppProcess xserver(kXvfb, {":" + std::to_string(number), "-nolisten", "tcp"}, data_.File("xvfb"));
  const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
  ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(socket); }, 10s))
      << TempFolder::Read(data_.File("xvfb"));

  auto relay = Start({"DISPLAY=:" + std::to_string(number)});
  ASSERT_TRUE(WaitForGreeting(port_, 10s).has_value()) << Said(runs_);
  SmtpSession session(port_);
  EXPECT_EQ(session.Send(SimpleMail({"nodomain"}, "BeforeTheDisplayWent")),
            "550 Invalid recipient: nodomain");

  ASSERT_TRUE(xserver.Stop(SIGKILL, 5s));
  std::filesystem::remove(socket);  // a killed server leaves its files
  std::filesystem::remove("/tmp/.X" + std::to_string(number) + "-lock");
  EXPECT_NE(relay->WaitForExit(5s), std::nullopt) << "the program outlived its display";
  EXPECT_NE(TempFolder::Read(data_.File("postwick.log")).find("BeforeTheDisplayWent"), std::string::npos)
      << Said(runs_);
}

// The port is taken, so the program shows its error and waits for OK; an
// exit signal meanwhile must still end it.
TEST_F(DesktopStartTest, AnExitSignalEndsTheProgramWhileAStartUpMessageIsOpen) {
  os::TcpListener holder;
  holder.Listen("", port_, 1);
  auto relay = Start({"QT_QPA_PLATFORM=offscreen"});
  std::this_thread::sleep_for(1s);  // the error box is open by now
  ASSERT_EQ(relay->WaitForExit(0ms), std::nullopt) << "the program should wait for the box: " << Said(runs_);
  ::kill(relay->Pid(), SIGTERM);
  EXPECT_NE(relay->WaitForExit(5s), std::nullopt) << "SIGTERM did not end the program";
}
