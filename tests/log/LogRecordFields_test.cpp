// Record lines taken apart for the log viewer, hand-edited lines included.
#include "log/LogRecordFields.h"

#include <gtest/gtest.h>

#include "log/OperationLog.h"

namespace {

TEST(LogRecordFieldsTest, TakesLinesApartByTabs) {
  struct Case {
    std::string line;
    LogRecordFields want;
    bool sent;
  };
  const Case cases[] = {
      {"1 ann@example.com\tHello\tSent successfully\t12/10/26 10:00:00",
       {"1", "ann@example.com", "Hello", "Sent successfully", "12/10/26 10:00:00"},
       true},
      {"0 bob@example.net\t\t550 No such user\t12/10/26",
       {"0", "bob@example.net", "", "550 No such user", "12/10/26"},
       false},
      // The date field keeps any further tab; too few tabs leave fields empty.
      {"1 a\tb\tc\td\te", {"1", "a", "b", "c", "d\te"}, true},
      {"1 a\tb\tc", {"1", "a", "b", "c", ""}, true},
      {"1 a\tb", {"1", "a", "b", "", ""}, true},
      {"0 only recipient", {"0", "only recipient", "", "", ""}, false},
      {"1", {"1", "", "", "", ""}, true},
      {"", {"", "", "", "", ""}, false},
      {"10 x\ty", {"1", " x", "y", "", ""}, true},
      {"2 x\ty\tz\tw", {"2", "x", "y", "z", "w"}, false},
  };
  for (const Case& c : cases) {
    const LogRecordFields got = ParseLogRecord(c.line);
    EXPECT_EQ(got.Outcome, c.want.Outcome) << c.line;
    EXPECT_EQ(got.Recipient, c.want.Recipient) << c.line;
    EXPECT_EQ(got.Subject, c.want.Subject) << c.line;
    EXPECT_EQ(got.Status, c.want.Status) << c.line;
    EXPECT_EQ(got.DateTime, c.want.DateTime) << c.line;
    EXPECT_EQ(got.Sent(), c.sent) << c.line;
  }
}

TEST(LogRecordFieldsTest, ReadsBackWhatTheLogWrites) {
  const std::string line = TOperationLog::FormatRecord(false, "eve@example.org", "Re: news",
                                                       "Connection failed", TDateTime(45000.5));
  const LogRecordFields fields = ParseLogRecord(line);
  EXPECT_FALSE(fields.Sent());
  EXPECT_EQ(fields.Recipient, "eve@example.org");
  EXPECT_EQ(fields.Subject, "Re: news");
  EXPECT_EQ(fields.Status, "Connection failed");
  EXPECT_EQ(fields.DateTime, TOperationLog::FormatTime(TDateTime(45000.5)));
}

}  // namespace
