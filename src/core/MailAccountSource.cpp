#include "core/MailAccountSource.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "core/AccountStoreSource.h"
#include "core/ThunderbirdSource.h"

MailAccountSources UserMailAccountSources(const std::string& accountStoreFile, const std::string& home) {
  MailAccountSources sources;
  sources.push_back(std::make_unique<AccountStoreSource>(accountStoreFile));
  sources.push_back(std::make_unique<ThunderbirdSource>(ThunderbirdSource::DefaultRoots(home)));
  return sources;
}

MailAccountSources UserMailAccountSources(const std::string& accountStoreFile) {
  std::string home;
  if (const char* variable = std::getenv("HOME"); variable != nullptr && *variable != '\0') {
    home = variable;
  } else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
    home = user->pw_dir;
  }
  if (home.empty()) {
    // No home folder: only the store, never a Thunderbird root under "/".
    MailAccountSources sources;
    sources.push_back(std::make_unique<AccountStoreSource>(accountStoreFile));
    return sources;
  }
  return UserMailAccountSources(accountStoreFile, home);
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
