// Differences between date-times in whole seconds.
#include "platform/DateTime.h"

#include <gtest/gtest.h>

namespace {

TEST(DateTime, SecondsBetweenIsRoundedAndAbsolute) {
  const TDateTime base = EncodeDateTime({2026, 12, 10, 13, 0, 0, 0});
  struct Case {
    DateTimeParts other;
    long long seconds;
  };
  const Case cases[] = {
      {{2026, 12, 10, 13, 0, 0, 0}, 0},     {{2026, 12, 10, 13, 0, 1, 400}, 1},
      {{2026, 12, 10, 13, 0, 1, 600}, 2},   {{2026, 12, 10, 12, 59, 50, 0}, 10},
      {{2026, 12, 11, 13, 0, 0, 0}, 86400},
  };
  for (const auto& c : cases) {
    const TDateTime other = EncodeDateTime(c.other);
    EXPECT_EQ(SecondsBetween(base, other), c.seconds);
    EXPECT_EQ(SecondsBetween(other, base), c.seconds);
  }
}

}  // namespace
