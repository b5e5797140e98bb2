// The operation log: one record line per delivery attempt to a recipient,
// kept in memory (the newest 999 once it grows past that), loaded from and
// saved to the log file, and a watch that asks for a warning when failures
// pile up across many recipient domains (outgoing port 25 blocked, usually).
//
// Record line: outcome digit ("1" sent, "0" failed), a space, recipient, TAB,
// subject, TAB, status, TAB, local date and time (the locale's %x, a space and
// %X; the date alone at exactly midnight). Tabs, NULs and line breaks inside
// the fields become spaces so a field can never split or forge a record.
//
// The program keeps one log, made at start-up before the controller and
// given to the relay and the controller.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DateTime.h"

class TOperationLog {
 public:
  // A list that reaches this many lines loses its oldest line per append.
  static constexpr std::size_t kTrimIndex = 999;
  // More distinct failing domains than this since the last success warn.
  static constexpr std::size_t kFailingDomainLimit = 20;

  TOperationLog();

  // Replaces the records by the file's lines (CR, LF or CR LF end a line).
  // A missing file gives an empty log; a read error keeps what was read.
  void Load(const std::string& path);
  // Writes the records (each line ended by CR LF) when they changed since the
  // last save or load, through a temporary file renamed over the log so a
  // crash never leaves a torn log. Clears Dirty() on success. False only
  // when a needed write failed (Dirty() then stays set for the next try).
  bool SaveIfDirty(const std::string& path);

  // Appends one record and runs the failure watch. Safe from any thread;
  // never throws.
  void WriteLogRecord(bool success, bool lookupSucceeded, const std::string& recipient,
                      const std::string& subject, const std::string& status);

  // Called (under the log's lock) when the failure watch trips; it must only
  // hand the request on and must not call back into the log.
  void SetSendErrorsHook(std::function<void()> hook);

  std::vector<std::string> Lines() const;  // a copy, oldest first
  bool TakeChanged();                      // changed since the last call; cleared by reading
  void Clear();                            // empties the log; it is saved empty
  bool Dirty() const;
  std::size_t FailingDomainCount() const;
  void SetClock(std::function<TDateTime()> now);

  // The record line as WriteLogRecord builds it, at a given time.
  static std::string FormatRecord(bool success, const std::string& recipient, const std::string& subject,
                                  const std::string& status, TDateTime time);
  // The local date and time text of a record (the date alone at midnight).
  static std::string FormatTime(TDateTime time);
  // Status line breaks become one space each (CR LF and LF CR pairs too);
  // tabs and NULs become spaces.
  static std::string CleanField(const std::string& text);
  // The recipient's domain in lower case: the second "@"-separated word.
  static std::string DomainOf(const std::string& recipient);

 private:
  void WatchFailures(bool success, bool lookupSucceeded, const std::string& recipient);

  mutable std::mutex lock_;
  std::deque<std::string> lines_;
  std::vector<std::string> failingDomains_;
  bool changed_ = false;
  bool dirty_ = false;
  // Counts changes so a save that raced with a write keeps the log dirty.
  unsigned long long version_ = 0;
  std::function<void()> sendErrorsHook_;
  std::function<TDateTime()> clock_;
  std::mutex saveLock_;  // one save at a time: they share the temporary file
};
