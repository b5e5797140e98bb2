#include "core/AccountStoreSource.h"

#include <charconv>
#include <cstdint>

#include "core/AccountPorts.h"
#include "platform/AccountStore.h"
#include "platform/AsciiText.h"

namespace {

constexpr std::uint32_t kDefaultPort = 25;
constexpr std::uint32_t kDefaultTimeout = 60;
constexpr std::uint32_t kRelayTimeout = 600;

// The row's decimal text as a DWORD; the default when it is not one.
std::uint32_t DwordOr(const std::string& text, std::uint32_t fallback) {
  std::uint32_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size() && !text.empty() ? number : fallback;
}

bool Configure(os::AccountKey& key, const MailAccount& account, std::uint32_t port) {
  key.WriteString("OLD_HOST", account.SmtpServer);
  key.WriteDword("OLD_PORT", DwordOr(account.SmtpPort, kDefaultPort));
  key.WriteDword("OLD_TIMEOUT", DwordOr(account.SmtpTimeout, kDefaultTimeout));
  key.WriteString("SMTP Server", "localhost");
  key.WriteDword("SMTP Port", port);
  key.WriteDword("SMTP Timeout", kRelayTimeout);
  return true;
}

// False when the saved server is gone (or is not a text): the key is then
// left as it is rather than given an empty server.
bool Restore(os::AccountKey& key) {
  const auto host = key.ReadString("OLD_HOST");
  if (!host) return false;
  const std::uint32_t port = key.ReadDword("OLD_PORT").value_or(kDefaultPort);
  const std::uint32_t timeout = key.ReadDword("OLD_TIMEOUT").value_or(kDefaultTimeout);
  for (const char* saved : {"OLD_HOST", "OLD_PORT", "OLD_TIMEOUT"}) key.DeleteValue(saved);
  key.WriteString("SMTP Server", *host);
  key.WriteDword("SMTP Port", port);
  key.WriteDword("SMTP Timeout", timeout);
  return true;
}

}  // namespace

void AccountStoreSource::ReadMailAccounts(std::vector<std::string>& list) {
  list.clear();
  os::AccountStore store(storeFile_);
  if (!store.Load() || !store.KeyExists(os::kMailAccountsRoot)) return;
  for (const std::string& name : store.SubkeyNames(os::kMailAccountsRoot)) {
    const std::string path = std::string(os::kMailAccountsRoot) + "\\" + name;
    const auto key = store.OpenKey(path);
    if (!key) continue;
    MailAccount account;
    account.AccountName = key->ReadString("Account Name").value_or("");
    if (ascii::TrimSpaces(account.AccountName).empty()) continue;
    const auto server = key->ReadString("SMTP Server");
    if (!server || ascii::TrimSpaces(*server).empty()) continue;
    account.SmtpServer = *server;
    account.SmtpPort = std::to_string(key->ReadDword("SMTP Port").value_or(kDefaultPort));
    account.SmtpTimeout = std::to_string(key->ReadDword("SMTP Timeout").value_or(kDefaultTimeout));
    account.Configured = key->ValueExists("OLD_HOST");
    account.KeyPath = path;
    list.push_back(JoinMailAccount(account));
  }
}

bool AccountStoreSource::ApplyChanges(const std::vector<MailAccountChange>& changes,
                                      const std::string& listenPort) {
  os::AccountStore store(storeFile_);
  if (!store.Load()) return false;
  bool changed = false;
  for (const MailAccountChange& change : changes) {
    auto key = store.OpenKey(change.Account.KeyPath);
    if (!key) continue;
    if (change.Configure) {
      changed |= Configure(*key, change.Account, AccountPortFor(listenPort));
    } else {
      changed |= Restore(*key);
    }
  }
  if (changed) store.Save();
  return changed;
}

int AccountStoreSource::UpdateAccountPorts(const std::string& listenPort) {
  os::AccountStore store(storeFile_);
  return ::UpdateAccountPorts(store, listenPort);
}
