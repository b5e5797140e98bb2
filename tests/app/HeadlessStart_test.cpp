// The built program started headless, as on a server: it must listen on the
// configured port and greet, and each exit signal must end it in an orderly
// way with exit code 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "support/AppProcess.h"
#include "support/TempFolder.h"

using namespace testing_support;

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
    AppProcess app(POSTWICK_EXECUTABLE, {"--headless", "--data-dir", data.Path()});

    const auto greeting = WaitForGreeting(port, std::chrono::seconds(10));
    ASSERT_TRUE(greeting.has_value()) << "no greeting on port " << port;
    EXPECT_EQ(*greeting, "220 Welcome to the Postwick");

    ASSERT_TRUE(app.Stop(c.signal, std::chrono::seconds(5))) << "still running 5 s after the signal";
    EXPECT_TRUE(WIFEXITED(app.ExitStatus())) << "wait status " << app.ExitStatus();
    EXPECT_EQ(WEXITSTATUS(app.ExitStatus()), 0);
  }
}
