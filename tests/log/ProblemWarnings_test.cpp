// The warning texts and how often the DNS warning may come back.
#include "log/ProblemWarnings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

}  // namespace

// The fragments are joined with nothing between them: a lost or doubled
// space at a seam shows up here.
TEST(ProblemWarningsTest, TextsBeginWithTheProductAndJoinTheirFragmentsCleanly) {
  const std::string sendErrors = SendErrorsWarningText("Postwick");
  EXPECT_EQ(sendErrors.rfind(
                "Postwick encountered more than 20 sending errors one after another. It means that there", 0),
            0u)
      << sendErrors;
  EXPECT_EQ(Occurrences(sendErrors, "like gmail.com, yahoo.com, outlook.com, etc., "), 2) << sendErrors;
  EXPECT_NE(sendErrors.find("closed by your Internet servive provider. It may also mean"), std::string::npos);
  EXPECT_NE(sendErrors.find("sent. Give your ISP a call to find out"), std::string::npos);
  EXPECT_NE(sendErrors.find("instead of this local SMTP server!"), std::string::npos);

  const std::string dns = DnsWarningText("Postwick");
  EXPECT_EQ(dns.rfind("Postwick could not detect your DNS server automatically, which is required", 0), 0u);
  EXPECT_NE(dns.find("of the program's tray icon. Please, click the button Help for more information."),
            std::string::npos);

  for (const std::string& text : {sendErrors, dns}) {
    EXPECT_EQ(text.find("  "), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  }
  // An empty product name (no product file) leaves the rest as it is.
  EXPECT_EQ(DnsWarningText(""), dns.substr(std::string("Postwick").size()));
}

// Each row: the times (ms) of warning requests and which were accepted.
TEST(DnsWarningGateTest, AcceptsAtMostOncePerSevenRoundedSeconds) {
  struct Case {
    const char* name;
    std::vector<long long> requestsMs;
    std::vector<bool> accepted;
  };
  const Case cases[] = {
      {"first request always", {0}, {true}},
      {"mail every two seconds",
       {0, 2000, 4000, 6000, 8000, 10000, 12000, 14000, 16000},
       {true, false, false, false, true, false, false, false, true}},
      {"6.4 s rounds to 6", {1000, 7400}, {true, false}},
      {"6.5 s rounds to 7", {1000, 7500}, {true, true}},
      {"refused requests do not move the mark", {0, 6000, 6900, 7000}, {true, false, true, false}},
  };
  for (const Case& c : cases) {
    long long now = 0;
    DnsWarningGate gate([&] { return std::chrono::milliseconds(now); });
    for (std::size_t i = 0; i < c.requestsMs.size(); ++i) {
      now = c.requestsMs[i];
      EXPECT_EQ(gate.Accept(), c.accepted[i]) << c.name << ", request at " << now << " ms";
    }
  }
}

TEST(PartialDeliveryNoteTest, CountsTheRecipientsAndNamesTheFailedOnes) {
  const struct {
    const char* subject;
    int delivered;
    std::vector<std::string> failed;
    const char* title;
    const char* text;
  } cases[] = {
      {"Minutes",
       2,
       {"bob@b.test"},
       "Message delivered to 2 of 3 recipients",
       "\"Minutes\" was not delivered to bob@b.test. The other recipients have it: send it again to these "
       "only "
       "(see the log for the reasons)."},
      {"",
       1,
       {"a@x.test", "b@x.test", "c@x.test", "d@x.test", "e@x.test", "f@x.test", "g@x.test"},
       "Message delivered to 1 of 8 recipients",
       "Your message was not delivered to a@x.test, b@x.test, c@x.test, d@x.test, e@x.test and 2 more. The "
       "other "
       "recipients have it: send it again to these only (see the log for the reasons)."},
  };
  for (const auto& c : cases) {
    const PartialDeliveryNote note = MakePartialDeliveryNote(c.subject, c.delivered, c.failed);
    EXPECT_EQ(note.title, c.title);
    EXPECT_EQ(note.text, c.text);
  }
}
