// The display is checked before Qt gets to it: one that refuses or never
// answers must be found out within the limit, one that answers must pass.
#include "app/DisplayProbe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "platform/UnixSocket.h"
#include "support/FakeX11Display.h"
#include "support/ScopedEnvironment.h"
#include "support/Timing.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

TEST(DisplayProbe, DeadDisplaysAreFoundOutWithinTheLimit) {
  SilentX11Display silent;
  const std::string unused = ":" + std::to_string(UnusedDisplayNumber());
  for (const std::string& display : {silent.Name(), unused, std::string("no colon"), std::string(":x")}) {
    bool answers = true;
    const auto took = TimeOf([&] { answers = X11DisplayAnswers(display, 300ms); });
    EXPECT_FALSE(answers) << display;
    EXPECT_LT(took, 2000ms) << display;
  }
}

// A server that answers the set-up at all (here with one byte, as a refusal
// would start) counts as a display.
TEST(DisplayProbe, ADisplayThatAnswersPasses) {
  ::mkdir("/tmp/.X11-unix", 01777);
  const int number = UnusedDisplayNumber();
  const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
  os::Fd listening = os::ListenUnixSocket(path, 4);
  ASSERT_TRUE(listening);
  std::thread server([&] {
    os::Fd client(::accept(listening.get(), nullptr, nullptr));
    char setup[12];
    if (client && ::recv(client.get(), setup, sizeof setup, MSG_WAITALL) == 12) {
      [[maybe_unused]] ssize_t n = ::send(client.get(), "\0", 1, MSG_NOSIGNAL);
    }
  });
  EXPECT_TRUE(X11DisplayAnswers(":" + std::to_string(number) + ".0", 2000ms));
  server.join();
  ::unlink(path.c_str());
}

TEST(DisplayProbe, WhichDisplayIsCheckedAndWhatQtTries) {
  SilentX11Display silent;
  struct Case {
    const char* name;
    std::optional<std::string> platform, display, wayland;
    DisplayCheck::State state;
    std::string platforms;
  };
  const Case cases[] = {
      {"nothing set", {}, {}, {}, DisplayCheck::State::kNone, "xcb;offscreen"},
      {"silent X11", {}, silent.Name(), {}, DisplayCheck::State::kSilent, "xcb;offscreen"},
      {"silent X11 named for xcb", "xcb", silent.Name(), {}, DisplayCheck::State::kSilent, "xcb;offscreen"},
      {"a platform without display", "offscreen", {}, {}, DisplayCheck::State::kUsable, "offscreen"},
      {"vnc", "vnc", silent.Name(), {}, DisplayCheck::State::kUsable, "vnc;offscreen"},
      {"Wayland socket missing",
       {},
       {},
       "wayland-postwick-none",
       DisplayCheck::State::kSilent,
       "xcb;offscreen"},
  };
  for (const auto& c : cases) {
    ScopedEnvironment env;
    env.Set("QT_QPA_PLATFORM", c.platform);
    env.Set("DISPLAY", c.display);
    env.Set("WAYLAND_DISPLAY", c.wayland);
    env.Unset("XDG_SESSION_TYPE");
    EXPECT_EQ(CheckDisplay(300ms).state, c.state) << c.name;
    EXPECT_EQ(PlatformsToTry(), c.platforms) << c.name;
  }
}

}  // namespace
