#include "core/MailAccount.h"

#include <vector>

namespace {

constexpr unsigned kStandardPort = 25;
constexpr unsigned kHighestPort = 65535;
constexpr std::size_t kFieldCount = 6;

}  // namespace

std::string JoinMailAccount(const MailAccount& account) {
  std::string line;
  for (const std::string* field :
       {&account.AccountName, &account.SmtpServer, &account.SmtpPort, &account.SmtpTimeout}) {
    line += *field;
    line += kMailAccountSeparator;
  }
  line += account.Configured ? "1" : "0";
  line += kMailAccountSeparator;
  line += account.KeyPath;
  return line;
}

MailAccount SplitMailAccount(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (fields.size() + 1 < kFieldCount) {
    const std::size_t end = line.find(kMailAccountSeparator, start);
    if (end == std::string::npos) break;
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  fields.push_back(line.substr(start));
  fields.resize(kFieldCount);
  return MailAccount{fields[0], fields[1], fields[2], fields[3], fields[4] == "1", fields[5]};
}

unsigned AccountPortFor(const std::string& listenPort) {
  if (listenPort.empty() || listenPort.size() > 5) return kStandardPort;
  unsigned port = 0;
  for (const char c : listenPort) {
    if (c < '0' || c > '9') return kStandardPort;
    port = port * 10 + static_cast<unsigned>(c - '0');
  }
  return port >= 1 && port <= kHighestPort ? port : kStandardPort;
}
