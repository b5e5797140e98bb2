// Reading and storing the user's settings (DNS server, listening port,
// local-only connections) in the settings file. The controller holds the
// values, shows the messages and runs DNS detection; these functions do the
// file work and say what the controller has to do next.
#pragma once

#include <string>
#include <vector>

namespace os {
class AccountStore;
}

// Key names as written to the file.
inline constexpr const char* kUserDnsKey = "USERDNS";
inline constexpr const char* kDnsKey = "DNS";
inline constexpr const char* kUserPortKey = "USERPORT";
inline constexpr const char* kPortKey = "PORT";
inline constexpr const char* kFirewallKey = "FIREWALL";

inline constexpr const char* kStandardPort = "25";

struct StoredSettings {
  std::string UserDnsServer;  // empty: autodetect
  std::string ListenPort = kStandardPort;
  bool LocalOnly = true;  // refuse other computers unless the file says "0"
};

// Reads the settings file; a missing or unreadable file gives the defaults.
// Values are taken as stored, untrimmed. Without a FIREWALL line the relay
// accepts this computer only: an open relay must be chosen explicitly.
StoredSettings ReadSettings(const std::string& settingsPath);

struct DnsStoreResult {
  std::string UserDnsServer;  // the trimmed server; empty means autodetect
  // True when the controller must run DNS autodetection (UserDnsServer is
  // empty); otherwise ActiveDnsServer becomes UserDnsServer at once.
  bool Autodetect = false;
  bool FileWritten = false;  // for tests and diagnostics; the user is not told
};

// Stores the DNS choice: USERDNS "1" and DNS = the trimmed server, or only
// USERDNS "0" when it is empty (the old DNS line stays).
DnsStoreResult StoreDnsSetting(const std::string& settingsPath, const std::string& server);

struct PortStoreResult {
  std::string ListenPort;  // the new ListenPort ("25" for the standard port)
  bool LocalOnly = true;
  bool PortChanged = false;  // ListenPort differs (as text) from the old one
  int AccountsUpdated = 0;   // mail program accounts given the new port
  // Information boxes to show, in order; the last is always kRestartMessage.
  std::vector<std::string> Messages;
  bool FileWritten = false;
};

// Stores the port and local-only choice: USERPORT "1" and PORT = the trimmed
// port, or USERPORT "0" for an empty one (ListenPort "25"); FIREWALL from
// localOnly. When the port changed, the mail program accounts in `accounts`
// (if given) get the new port, and a non-standard port adds its message.
PortStoreResult StorePortSetting(const std::string& settingsPath, const std::string& oldListenPort,
                                 const std::string& port, bool localOnly, os::AccountStore* accounts);
