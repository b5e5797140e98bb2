#include "log/LogRecordFields.h"

namespace {

// The text from `pos` up to the next tab (or the end); `pos` moves past the
// tab, or to npos when there was none.
std::string UpToTab(const std::string& line, std::size_t& pos) {
  if (pos == std::string::npos || pos > line.size()) {
    pos = std::string::npos;
    return {};
  }
  const std::size_t tab = line.find('\t', pos);
  std::string field = line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos);
  pos = tab == std::string::npos ? std::string::npos : tab + 1;
  return field;
}

}  // namespace

LogRecordFields ParseLogRecord(const std::string& line) {
  LogRecordFields fields;
  fields.Outcome = line.substr(0, 1);
  // The recipient starts at the third character, after the digit and a space.
  const std::size_t firstTab = line.find('\t');
  if (line.size() > 2)
    fields.Recipient = line.substr(2, firstTab == std::string::npos ? std::string::npos : firstTab - 2);
  if (firstTab == std::string::npos) return fields;
  std::size_t pos = firstTab + 1;
  fields.Subject = UpToTab(line, pos);
  fields.Status = UpToTab(line, pos);
  if (pos != std::string::npos) fields.DateTime = line.substr(pos);
  return fields;
}
