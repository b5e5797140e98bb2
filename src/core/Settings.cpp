// The settings file's read and store rules.
#include "core/Settings.h"

#include "core/AccountPorts.h"
#include "core/SettingsFile.h"
#include "core/SettingsMessages.h"
#include "platform/AsciiText.h"

StoredSettings ReadSettings(const std::string& settingsPath) {
  SettingsFile file;
  file.Load(settingsPath);
  StoredSettings settings;
  if (ascii::TextToFlag(file.Value(kUserDnsKey))) settings.UserDnsServer = file.Value(kDnsKey);
  if (ascii::TextToFlag(file.Value(kUserPortKey))) settings.ListenPort = file.Value(kPortKey);
  if (file.Has(kFirewallKey)) settings.LocalOnly = ascii::TextToFlag(file.Value(kFirewallKey));
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
  SettingsFile file;
  file.Load(settingsPath);
  PortStoreResult result;
  const std::string trimmed = ascii::TrimSpaces(port);
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
