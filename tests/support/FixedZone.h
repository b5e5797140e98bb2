// A fixture for date tests: the local zone pinned to two hours east of UTC
// all year round, and date-times as text so failures read as dates.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/DateTime.h"
#include "support/ScopedTimeZone.h"

namespace testing_support {

class FixedZone : public ::testing::Test {
 protected:
  // "YYYY-MM-DD hh:mm:ss"
  static std::string DateText(TDateTime value) {
    const DateTimeParts p = DecodeDateTime(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return text;
  }

 private:
  ScopedTimeZone zone_{"XXX-2"};
};

}  // namespace testing_support
