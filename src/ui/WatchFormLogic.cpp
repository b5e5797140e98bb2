#include "ui/WatchFormLogic.h"

#include <cstdio>

namespace watch {

namespace {
constexpr const char* kStandardPort = "25";
}

std::string CounterText(int64_t value) {
  if (value < 0 || value > 99999) return "-----";
  char text[8];
  std::snprintf(text, sizeof text, "%05lld", static_cast<long long>(value));
  return text;
}

std::string TipText(const std::string& listenPort) {
  return "Use port " + listenPort + " in your email program along with localhost!";
}

InitialSettings SettingsAtShow(const std::string& userDnsServer, const std::string& listenPort,
                               bool localOnly) {
  InitialSettings settings;
  if (!userDnsServer.empty()) {
    settings.dnsItem = 1;
    settings.dnsText = userDnsServer;
    settings.dnsFieldEnabled = true;
  }
  if (listenPort != kStandardPort) {
    settings.portItem = 1;
    settings.portText = listenPort;
    settings.portFieldEnabled = true;
  }
  settings.localOnly = localOnly;
  return settings;
}

std::string DnsToStore(int selectedItem, const std::string& fieldText) {
  return selectedItem == 1 ? fieldText : std::string();
}

std::string PortToStore(int selectedItem, const std::string& fieldText) {
  if (selectedItem != 1 || fieldText == kStandardPort) return {};
  return fieldText;
}

}  // namespace watch
