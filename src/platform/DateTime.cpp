#include "platform/DateTime.h"

#include <cmath>

namespace {

constexpr double kSecondsPerDay = 86400.0;

// Days from 1899-12-30 to a civil date (proleptic Gregorian).
long DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yearOfEra = year - era * 400;
  const long dayOfYear = (153L * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 693899;  // 693899: 1899-12-30 counted from 0000-03-01
}

void CivilFromDays(long days, int& year, int& month, int& day) {
  days += 693899;
  const long era = (days >= 0 ? days : days - 146096) / 146097;
  const long dayOfEra = days - era * 146097;
  const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long mp = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

}  // namespace

TDateTime EncodeDateTime(const DateTimeParts& p) {
  const double seconds = p.hour * 3600.0 + p.minute * 60.0 + p.second + p.millisecond / 1000.0;
  return static_cast<double>(DaysFromCivil(p.year, p.month, p.day)) + seconds / kSecondsPerDay;
}

DateTimeParts DecodeDateTime(TDateTime value) {
  DateTimeParts p;
  // Work in whole milliseconds so 23:59:59.9995 does not round into 24:00.
  const long long totalMs = std::llround(value * kSecondsPerDay * 1000.0);
  long long days = totalMs / 86400000LL;
  long long ms = totalMs % 86400000LL;
  if (ms < 0) {
    ms += 86400000LL;
    --days;
  }
  CivilFromDays(static_cast<long>(days), p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

TDateTime LocalFromUnix(std::time_t seconds) {
  std::tm local{};
  localtime_r(&seconds, &local);
  return EncodeDateTime(
      {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0});
}

TDateTime Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalFromUnix(now.tv_sec) + (now.tv_nsec / 1000000) / (kSecondsPerDay * 1000.0);
}

int LocalUtcOffsetMinutes() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<int>(local.tm_gmtoff / 60);
}

int DayOfWeek(TDateTime value) {
  // 1899-12-30 was a Saturday.
  const long days = static_cast<long>(std::floor(value));
  return static_cast<int>(((days + 6) % 7 + 7) % 7);
}

long long SecondsBetween(TDateTime a, TDateTime b) { return std::llround(std::fabs(a - b) * kSecondsPerDay); }
