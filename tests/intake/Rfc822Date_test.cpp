// Reading "Date" header values into local time, with the zone pinned.
#include "intake/Rfc822Date.h"

#include <gtest/gtest.h>

#include <string>

#include "support/FixedZone.h"

namespace {

class Rfc822Date : public testing_support::FixedZone {};

TEST_F(Rfc822Date, ParsesDates) {
  const std::pair<std::string, std::string> cases[] = {
      {"Tue, 7 Dec 2004 10:01:02 +0100", "2004-12-07 11:01:02"},
      {"7 Dec 2004 10:01:02 -0500", "2004-12-07 17:01:02"},
      {"Dec 7 2004 10:01 GMT", "2004-12-07 12:01:00"},
      {"07-Dec-04 10:01:02 +0000", "2004-12-07 12:01:02"},
      {"Tuesday, 7 Dec 99 23:30:00 -0100", "1999-12-08 02:30:00"},
      {"  7   dec 2004  ", "2004-12-07 02:00:00"},
      {"1 Jan 2000 00:00:00 EST", "2000-01-01 07:00:00"},
      {"1 Jan 2000 00:00:00 XYZ", "2000-01-01 02:00:00"},  // an unknown zone is UTC
      {"7 Dec 2004 10:01:02 +0100 (CET)", "2004-12-07 11:01:02"},
      {"7 Dec 2004 10:01:02 +01", "2004-12-07 12:01:02"},  // too short for an offset
      {"Sat, 29 Feb 2020 23:59:60 +0200", "2020-02-29 23:59:59"},
      {"31 Dec 79 22:00:00 +0000", "2080-01-01 00:00:00"},
  };
  for (const auto& [text, expected] : cases) {
    TDateTime date = 0;
    ASSERT_TRUE(ParseRfc822Date(text, date)) << text;
    EXPECT_EQ(DateText(date), expected) << text;
  }
}

TEST_F(Rfc822Date, UnreadableDatesAreRefused) {
  for (const char* text : {"", "garbage", "31 Feb 2004", "29 Feb 2100", "7 Foo 2004", "7 Dec", "7 Dec 204",
                           "7 Dec 2004 25:00:00", "7 Dec 2004 10:60", "7 Dec 2004 10:", "0 Dec 2004",
                           "Tue, Dec 2004", "123 Dec 2004"}) {
    TDateTime date = 0;
    EXPECT_FALSE(ParseRfc822Date(text, date)) << text;
  }
}

}  // namespace
