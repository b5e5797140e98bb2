// Reading the date-time of a "Date" header ("Tue, 7 Dec 2004 10:01:02 +0100")
// into local time.
#include "intake/Rfc822Date.h"

#include <array>

#include "intake/TextCursor.h"
#include "platform/AsciiText.h"

namespace {

constexpr std::array<std::string_view, 7> kDays = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
constexpr std::array<std::string_view, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                      "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

struct NamedZone {
  std::string_view name;
  int minutes;
};
// The zone names of RFC 822 that stand for a fixed offset.
constexpr std::array<NamedZone, 11> kZones = {{{"UT", 0},
                                               {"GMT", 0},
                                               {"Z", 0},
                                               {"EST", -300},
                                               {"EDT", -240},
                                               {"CST", -360},
                                               {"CDT", -300},
                                               {"MST", -420},
                                               {"MDT", -360},
                                               {"PST", -480},
                                               {"PDT", -420}}};

// Index of the name whose three letters start `word`, or -1.
template <std::size_t N>
int IndexOfName(const std::array<std::string_view, N>& names, std::string_view word) {
  if (word.size() < 3) return -1;
  for (std::size_t i = 0; i < N; ++i) {
    if (ascii::EqualNoCase(word.substr(0, 3), names[i])) return static_cast<int>(i);
  }
  return -1;
}

std::string_view LeadingWord(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && ascii::IsLetter(text[n])) ++n;
  return text.substr(0, n);
}

bool IsSeparator(char c) { return ascii::IsBlank(c) || c == '-' || c == ','; }

// A number of 1..maxDigits digits.
bool ReadNumber(TextCursor& cur, std::size_t maxDigits, int& value, std::size_t* digits = nullptr) {
  const std::string_view run = cur.TakeWhile(ascii::IsDigit);
  if (run.empty() || run.size() > maxDigits) return false;
  value = 0;
  for (char c : run) value = value * 10 + (c - '0');
  if (digits) *digits = run.size();
  return true;
}

bool ReadMonth(TextCursor& cur, int& month) {
  month = IndexOfName(kMonths, cur.TakeWhile(ascii::IsLetter)) + 1;
  return month > 0;
}

void SkipWeekday(TextCursor& cur) {
  if (IndexOfName(kDays, LeadingWord(cur.Rest())) < 0) return;
  cur.TakeWhile(ascii::IsLetter);
  cur.TakeWhile(IsSeparator);
}

// "7 Dec", "Dec 7", "07-Dec".
bool ReadDayAndMonth(TextCursor& cur, int& day, int& month) {
  if (ascii::IsDigit(cur.Peek())) {
    if (!ReadNumber(cur, 2, day)) return false;
    cur.TakeWhile(IsSeparator);
    return ReadMonth(cur, month);
  }
  if (!ReadMonth(cur, month)) return false;
  cur.TakeWhile(IsSeparator);
  return ReadNumber(cur, 2, day);
}

// Two-digit years: below 80 in this century, 80 to 99 in the last one.
bool ReadYear(TextCursor& cur, int& year) {
  std::size_t digits = 0;
  if (!ReadNumber(cur, 4, year, &digits) || digits == 3) return false;
  if (digits <= 2) year += year < 80 ? 2000 : 1900;
  return true;
}

// "hh:mm" or "hh:mm:ss".
bool ReadTime(TextCursor& cur, DateTimeParts& parts) {
  if (!ReadNumber(cur, 2, parts.hour) || !cur.Skip(':') || !ReadNumber(cur, 2, parts.minute)) return false;
  if (cur.Skip(':') && !ReadNumber(cur, 2, parts.second)) return false;
  return true;
}

// Minutes east of UTC: "+hhmm"/"-hhmm" (anything after those digits
// ignored), a named zone of RFC 822, or UTC for anything else.
int ZoneOffsetMinutes(const std::string& zone) {
  if (zone.size() > 4 && (zone[0] == '+' || zone[0] == '-')) {
    for (int i = 1; i <= 4; ++i) {
      if (!ascii::IsDigit(zone[i])) return 0;
    }
    const int minutes =
        ((zone[1] - '0') * 10 + (zone[2] - '0')) * 60 + (zone[3] - '0') * 10 + (zone[4] - '0');
    return zone[0] == '-' ? -minutes : minutes;
  }
  const std::string_view word = LeadingWord(zone);
  for (const NamedZone& named : kZones) {
    if (ascii::EqualNoCase(word, named.name)) return named.minutes;
  }
  return 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDaysIn[month - 1];
}

bool IsValid(const DateTimeParts& p) {
  return p.day >= 1 && p.day <= DaysInMonth(p.year, p.month) && p.hour < 24 && p.minute < 60 &&
         p.second <= 60;
}

}  // namespace

bool ParseRfc822Date(const std::string& text, TDateTime& result) {
  const std::string trimmed = ascii::TrimSpacesAndControls(text);
  TextCursor cur(trimmed);
  DateTimeParts parts;
  SkipWeekday(cur);
  if (!ReadDayAndMonth(cur, parts.day, parts.month)) return false;
  cur.TakeWhile(IsSeparator);
  if (!ReadYear(cur, parts.year)) return false;
  cur.TakeWhile(ascii::IsBlank);
  if (ascii::IsDigit(cur.Peek()) && !ReadTime(cur, parts)) return false;
  if (!IsValid(parts)) return false;
  if (parts.second == 60) parts.second = 59;  // a leap second
  // To UTC by the sender's offset, then to local time by this machine's
  // current offset, the same one the writer puts back on the Date line.
  const int shiftMinutes =
      LocalUtcOffsetMinutes() - ZoneOffsetMinutes(ascii::TrimSpacesAndControls(cur.Rest()));
  result = EncodeDateTime(parts) + shiftMinutes / 1440.0;
  return true;
}
