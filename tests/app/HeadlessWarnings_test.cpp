// The built program without a display: a run of failures across more than
// twenty domains gives the send-errors warning as one line on standard error,
// with the warning's whole text.
#include <gtest/gtest.h>

#include <chrono>

#include "log/ProblemWarnings.h"
#include "support/AppProcess.h"
#include "support/FakeDnsServer.h"
#include "support/LineClient.h"
#include "support/RelayHarness.h"
#include "support/TempFolder.h"

using namespace testing_support;
using namespace std::chrono_literals;

TEST(HeadlessWarningsProcess, TwentyOneFailingDomainsGiveTheSendErrorsWarningLine) {
  // Every domain's exchanger is 127.0.0.1, which the relay never sends to:
  // each recipient fails after a completed MX query, and nothing leaves the
  // machine.
  FakeDnsServer dns;
  std::vector<std::string> recipients;
  for (int i = 1; i <= 21; ++i) {
    const std::string domain = "d" + std::to_string(i) + ".test";
    dns.AddMx(domain, {{10, "127.0.0.1"}});
    recipients.push_back("user@" + domain);
  }
  TempFolder data;
  const uint16_t port = FreeTcpPort();
  TempFolder::Write(data.File("postwick.opt"), "USERPORT=1\r\nPORT=" + std::to_string(port) +
                                                   "\r\nFIREWALL=1\r\nUSERDNS=1\r\nDNS=127.0.0.1:" +
                                                   std::to_string(dns.Port()) + "\r\n");
  const std::string errorFile = data.File("stderr");
  AppProcess app(POSTWICK_EXECUTABLE, {"--headless", "--data-dir", data.Path()}, errorFile);
  ASSERT_TRUE(WaitForGreeting(port, 10s).has_value());

  SmtpSession session(port);
  EXPECT_EQ(session.Send(SimpleMail(recipients)).rfind("550 Invalid recipient: user@d1.test, ", 0), 0u);
  session.Quit();

  const std::string line = "Warning: " + SendErrorsWarningText("Postwick") + "\n";
  EXPECT_TRUE(Eventually([&] { return TempFolder::Read(errorFile).find(line) != std::string::npos; }, 5s))
      << TempFolder::Read(errorFile);
  EXPECT_TRUE(app.Stop(SIGTERM, 5s));
}
