// Without a display each request of the controller is one line on standard
// error, in the windows' own words: the reporter alone, and the built program
// after a run of failures across more than twenty domains.
#include "app/HeadlessReporter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "support/AppProcess.h"
#include "support/FakeDnsServer.h"
#include "support/RelayHarness.h"
#include "support/TempFolder.h"
#include "support/Timing.h"

using namespace testing_support;
using namespace std::chrono_literals;

// Each warning is one line; the DNS warning keeps its seven-second rule.
TEST(HeadlessReporterTest, EachWarningIsOneLineOnTheStream) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  long long now = 0;
  HeadlessReporter reporter("Postwick", out, [&] { return std::chrono::milliseconds(now); });
  reporter.ShowSendErrorsWarning();
  reporter.ShowDnsWarning();
  now = 2000;
  reporter.ShowDnsWarning();  // too soon
  now = 7000;
  reporter.ShowDnsWarning();
  reporter.ShowPartialDelivery("Message delivered to 1 of 2 recipients", "Your message was not delivered.");
  std::fclose(out);
  const std::string text(buffer, size);
  std::free(buffer);
  EXPECT_EQ(text, "Warning: " + SendErrorsWarningText("Postwick") + "\nWarning: " +
                      DnsWarningText("Postwick") + "\nWarning: " + DnsWarningText("Postwick") +
                      "\nWarning: Message delivered to 1 of 2 recipients. Your message was not delivered.\n");
}

TEST(HeadlessReporterProcess, TwentyOneFailingDomainsGiveTheSendErrorsWarningLine) {
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
