// What the main window shows and stores, without a widget: the counter text,
// the tip text, the state the settings open with, and what
// each Apply button passes to the controller.
#pragma once

#include <cstdint>
#include <string>

namespace watch {

// A counter as its 5-digit display shows it: zero-padded decimal, or five
// minus signs when the value does not fit (from 100000 on, or below 0).
std::string CounterText(int64_t value);

// "Use port <port> in your email program along with localhost!"
std::string TipText(const std::string& listenPort);

// The settings sections as the window opens (both Apply buttons disabled).
struct InitialSettings {
  int dnsItem = 0;  // 0 autodetect, 1 specific server
  std::string dnsText;
  bool dnsFieldEnabled = false;
  int portItem = 0;  // 0 standard port, 1 specific port
  std::string portText = "25";
  bool portFieldEnabled = false;
  bool localOnly = false;
};
InitialSettings SettingsAtShow(const std::string& userDnsServer, const std::string& listenPort,
                               bool localOnly);

// The text the DNS Apply passes to SaveDNS: the field for a specific server,
// empty (autodetect) otherwise.
std::string DnsToStore(int selectedItem, const std::string& fieldText);
// The text the port Apply passes to SavePort: empty (the standard port) for
// item 0 and for an explicit "25", else the field's text.
std::string PortToStore(int selectedItem, const std::string& fieldText);

}  // namespace watch
