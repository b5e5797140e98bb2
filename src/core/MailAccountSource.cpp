#include "core/MailAccountSource.h"

#include "core/AccountStoreSource.h"
#include "core/ThunderbirdSource.h"

MailAccountSources UserMailAccountSources(const std::string& accountStoreFile, const std::string& home) {
  MailAccountSources sources;
  sources.push_back(std::make_unique<AccountStoreSource>(accountStoreFile));
  sources.push_back(std::make_unique<ThunderbirdSource>(ThunderbirdSource::DefaultRoots(home)));
  return sources;
}

int UpdateAccountPorts(const MailAccountSources& sources, const std::string& listenPort) {
  int updated = 0;
  for (const auto& source : sources) updated += source->UpdateAccountPorts(listenPort);
  return updated;
}

std::string JoinProgramNames(const std::vector<std::string>& names) {
  std::string joined;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) joined += i + 1 == names.size() ? " and " : ", ";
    joined += names[i];
  }
  return joined;
}
