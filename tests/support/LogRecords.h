// The operation log's record lines split into their fields, for tests that
// check what a delivery logged.
#pragma once

#include <string>
#include <vector>

class TOperationLog;

namespace testing_support {

struct LogRecord {
  std::string outcome;  // "1" sent, "0" failed
  std::string recipient, subject, status;
};

// The log's records, oldest first.
std::vector<LogRecord> RecordsOf(const TOperationLog& log);

}  // namespace testing_support
