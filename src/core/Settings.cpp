// The settings file's read and store rules.
#include "core/Settings.h"

#include "core/AccountPorts.h"
#include "core/SettingsFile.h"
#include "core/SettingsMessages.h"
#include "platform/AsciiText.h"

std::optional<uint16_t> ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<uint16_t>(value);
}

std::optional<uint16_t> ListeningPortFor(const std::string& listenPort) {
  if (listenPort.empty()) return ParsePort(kStandardPort);
  return ParsePort(listenPort);
}

StoredSettings ReadSettings(const std::string& settingsPath) {
  SettingsFile file;
  file.Load(settingsPath);
  StoredSettings settings;
  settings.FileTooLarge = file.Truncated();
  if (ascii::TextToFlag(file.Value(kUserDnsKey))) settings.UserDnsServer = file.Value(kDnsKey);
  if (ascii::TextToFlag(file.Value(kUserPortKey))) settings.ListenPort = file.Value(kPortKey);
  // Only an explicit "0" opens the relay to other computers; a missing line
  // or any other value ("1 ", "yes", "") keeps it to this computer.
  settings.LocalOnly = !(file.Has(kFirewallKey) && file.Value(kFirewallKey) == "0");
  return settings;
}

DnsStoreResult StoreDnsSetting(const std::string& settingsPath, const std::string& server) {
  SettingsFile file;
  file.Load(settingsPath);
  DnsStoreResult result;
  result.UserDnsServer = ascii::TrimSpaces(server);
  result.Autodetect = result.UserDnsServer.empty();
  file.SetValue(kUserDnsKey, ascii::FlagToText(!result.Autodetect));
  if (!result.Autodetect) file.SetValue(kDnsKey, result.UserDnsServer);
  result.FileWritten = file.Save(settingsPath);
  return result;
}

PortStoreResult StorePortSetting(const std::string& settingsPath, const std::string& oldListenPort,
                                 const std::string& port, bool localOnly, os::AccountStore* accounts) {
  PortStoreResult result;
  const std::string trimmed = ascii::TrimSpaces(port);
  if (!trimmed.empty() && !ParsePort(trimmed)) {
    result.Accepted = false;
    result.ListenPort = oldListenPort;
    result.LocalOnly = localOnly;
    result.Messages.push_back(InvalidPortMessage(trimmed));
    return result;
  }
  SettingsFile file;
  file.Load(settingsPath);
  file.SetValue(kUserPortKey, ascii::FlagToText(!trimmed.empty()));
  if (!trimmed.empty()) file.SetValue(kPortKey, trimmed);
  result.ListenPort = trimmed.empty() ? kStandardPort : trimmed;
  file.SetValue(kFirewallKey, ascii::FlagToText(localOnly));
  result.LocalOnly = localOnly;
  result.FileWritten = file.Save(settingsPath);

  result.PortChanged = result.ListenPort != oldListenPort;
  if (result.PortChanged) {
    if (accounts != nullptr) result.AccountsUpdated = UpdateAccountPorts(*accounts, result.ListenPort);
    if (result.ListenPort != kStandardPort)
      result.Messages.push_back(NonStandardPortMessage(result.ListenPort));
  }
  result.Messages.push_back(kRestartMessage);
  return result;
}
