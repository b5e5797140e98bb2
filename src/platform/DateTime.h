// Date-times as the system keeps them: days since 1899-12-30 with the time of
// day as the fraction, in local time. Conversions use the C library's idea of
// the local zone (TZ), so tests can pin it.
#pragma once

#include <ctime>

using TDateTime = double;

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;  // month 1..12
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// A date-time from calendar parts; the parts are not range-checked.
TDateTime EncodeDateTime(const DateTimeParts& parts);
DateTimeParts DecodeDateTime(TDateTime value);

// Local time now.
TDateTime Now();
// The local time of a moment given in seconds since the epoch.
TDateTime LocalFromUnix(std::time_t seconds);

// The local zone's current offset from UTC, in minutes (east positive).
int LocalUtcOffsetMinutes();

// Day of the week, 0 = Sunday.
int DayOfWeek(TDateTime value);

// The absolute difference of two date-times in whole seconds, rounded.
long long SecondsBetween(TDateTime a, TDateTime b);
