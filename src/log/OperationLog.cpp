// The operation log's records, file and failure watch.
#include "log/OperationLog.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "intake/IdEMailAddress.h"
#include "platform/AsciiText.h"
#include "platform/TextFile.h"

namespace {

std::string Strftime(const char* format, const std::tm& parts) {
  char buffer[128];
  const std::size_t length = std::strftime(buffer, sizeof buffer, format, &parts);
  return std::string(buffer, length);
}

std::tm CalendarOf(TDateTime time) {
  const DateTimeParts parts = DecodeDateTime(time);
  std::tm tm{};
  tm.tm_year = parts.year - 1900;
  tm.tm_mon = parts.month - 1;
  tm.tm_mday = parts.day;
  tm.tm_hour = parts.hour;
  tm.tm_min = parts.minute;
  tm.tm_sec = parts.second;
  tm.tm_wday = DayOfWeek(time);
  tm.tm_yday = static_cast<int>(EncodeDateTime({parts.year, parts.month, parts.day, 0, 0, 0, 0}) -
                                EncodeDateTime({parts.year, 1, 1, 0, 0, 0, 0}));
  tm.tm_isdst = -1;
  return tm;
}

// Replaces every occurrence of `from` by one space.
void ReplaceBySpace(std::string& text, const std::string& from) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + 1)) {
    text.replace(at, from.size(), " ");
  }
}

}  // namespace

TOperationLog::TOperationLog() : clock_([] { return Now(); }) {}

std::string TOperationLog::CleanField(const std::string& text) {
  std::string clean = text;
  for (const char* breakText : {"\r\n", "\n\r", "\r", "\n", "\t"}) ReplaceBySpace(clean, breakText);
  // A NUL would cut the record short wherever it is read as C text.
  std::replace(clean.begin(), clean.end(), '\0', ' ');
  return clean;
}

std::string TOperationLog::DomainOf(const std::string& recipient) {
  return ascii::ToLower(::DomainOf(recipient));
}

std::string TOperationLog::FormatTime(TDateTime time) {
  const DateTimeParts parts = DecodeDateTime(time);
  const std::tm tm = CalendarOf(time);
  const bool midnight = parts.hour == 0 && parts.minute == 0 && parts.second == 0 && parts.millisecond == 0;
  return midnight ? Strftime("%x", tm) : Strftime("%x", tm) + " " + Strftime("%X", tm);
}

std::string TOperationLog::FormatRecord(bool success, const std::string& recipient,
                                        const std::string& subject, const std::string& status,
                                        TDateTime time) {
  return ascii::FlagToText(success) + " " + CleanField(recipient) + "\t" + CleanField(subject) + "\t" +
         CleanField(status) + "\t" + FormatTime(time);
}

void TOperationLog::Load(const std::string& path) {
  std::string text;
  os::ReadWholeFile(path, text);  // what was read counts, even after an error
  const auto lines = os::SplitLines(text);
  std::lock_guard guard(lock_);
  lines_.assign(lines.begin(), lines.end());
  dirty_ = false;
  ++version_;
}

bool TOperationLog::SaveIfDirty(const std::string& path) {
  std::lock_guard saveGuard(saveLock_);
  std::string text;
  unsigned long long savedVersion = 0;
  {
    std::lock_guard guard(lock_);
    if (!dirty_) return true;
    for (const auto& line : lines_) {
      text += line;
      text += "\r\n";
    }
    savedVersion = version_;
  }
  if (!os::WriteFileAtomically(path, text)) return false;
  std::lock_guard guard(lock_);
  if (version_ == savedVersion) dirty_ = false;
  return true;
}

void TOperationLog::WriteLogRecord(bool success, bool lookupSucceeded, const std::string& recipient,
                                   const std::string& subject, const std::string& status) {
  try {
    std::lock_guard guard(lock_);
    changed_ = true;
    dirty_ = true;
    ++version_;
    lines_.push_back(FormatRecord(success, recipient, subject, status, clock_()));
    if (lines_.size() - 1 >= kTrimIndex) lines_.pop_front();
    WatchFailures(success, lookupSucceeded, recipient);
  } catch (...) {
    // Logging must never take a delivery down; a lost record is the lesser harm.
  }
}

// Runs under lock_.
void TOperationLog::WatchFailures(bool success, bool lookupSucceeded, const std::string& recipient) {
  if (success) {
    failingDomains_.clear();
    return;
  }
  if (!lookupSucceeded) return;  // an unresolved domain says nothing about port 25
  const std::string domain = DomainOf(recipient);
  if (std::find(failingDomains_.begin(), failingDomains_.end(), domain) == failingDomains_.end()) {
    failingDomains_.push_back(domain);
  }
  if (failingDomains_.size() > kFailingDomainLimit) {
    failingDomains_.clear();
    if (sendErrorsHook_) sendErrorsHook_();
  }
}

void TOperationLog::SetSendErrorsHook(std::function<void()> hook) {
  std::lock_guard guard(lock_);
  sendErrorsHook_ = std::move(hook);
}

std::vector<std::string> TOperationLog::Lines() const {
  std::lock_guard guard(lock_);
  return {lines_.begin(), lines_.end()};
}

bool TOperationLog::TakeChanged() {
  std::lock_guard guard(lock_);
  return std::exchange(changed_, false);
}

void TOperationLog::Clear() {
  std::lock_guard guard(lock_);
  lines_.clear();
  dirty_ = true;
  ++version_;
}

bool TOperationLog::Dirty() const {
  std::lock_guard guard(lock_);
  return dirty_;
}

std::size_t TOperationLog::FailingDomainCount() const {
  std::lock_guard guard(lock_);
  return failingDomains_.size();
}

void TOperationLog::SetClock(std::function<TDateTime()> now) {
  std::lock_guard guard(lock_);
  clock_ = std::move(now);
}
