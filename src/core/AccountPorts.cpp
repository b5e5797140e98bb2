// Gives the accounts configured for this relay the current listening port.
#include "core/AccountPorts.h"

#include <cstdint>
#include <optional>

#include "platform/AccountStore.h"
#include "platform/AsciiText.h"

namespace {

std::optional<std::uint32_t> DecimalDword(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (number > UINT32_MAX) return std::nullopt;
  return static_cast<std::uint32_t>(number);
}

}  // namespace

int UpdateAccountPorts(os::AccountStore& store, const std::string& listenPort) {
  const auto port = DecimalDword(listenPort);
  if (!port || !store.Load() || !store.KeyExists(os::kMailAccountsRoot)) return 0;
  int updated = 0;
  for (const auto& name : store.SubkeyNames(os::kMailAccountsRoot)) {
    auto key = store.OpenKey(std::string(os::kMailAccountsRoot) + "\\" + name);
    if (!key) continue;
    const auto oldHost = key->ReadString("OLD_HOST");
    if (!oldHost || ascii::TrimSpaces(*oldHost).empty()) continue;
    key->WriteDword("SMTP Port", *port);
    ++updated;
  }
  if (updated > 0) store.Save();
  return updated;
}
