// A record line of the operation log taken apart for showing: the outcome
// digit, then the recipient up to the first tab, then subject, status and
// date-and-time, each up to the next tab. A line with too few tabs gives
// empty fields for the missing parts.
#pragma once

#include <string>

struct LogRecordFields {
  std::string Outcome;  // the first character
  std::string Recipient;
  std::string Subject;
  std::string Status;
  std::string DateTime;
  // Only an outcome of exactly "1" is a delivery.
  bool Sent() const { return Outcome == "1"; }
};

LogRecordFields ParseLogRecord(const std::string& line);
