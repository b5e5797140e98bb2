#include "support/LogRecords.h"

#include "log/OperationLog.h"

namespace testing_support {

std::vector<LogRecord> RecordsOf(const TOperationLog& log) {
  std::vector<LogRecord> records;
  for (const std::string& line : log.Lines()) {
    LogRecord r;
    const auto space = line.find(' ');
    const auto tab1 = line.find('\t');
    const auto tab2 = line.find('\t', tab1 + 1);
    const auto tab3 = line.find('\t', tab2 + 1);
    r.outcome = line.substr(0, space);
    r.recipient = line.substr(space + 1, tab1 - space - 1);
    r.subject = line.substr(tab1 + 1, tab2 - tab1 - 1);
    r.status = line.substr(tab2 + 1, tab3 - tab2 - 1);
    records.push_back(r);
  }
  return records;
}

}  // namespace testing_support
