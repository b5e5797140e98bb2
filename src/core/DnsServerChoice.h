// Which DNS server the relay asks for MX records.
#pragma once

#include <string>

// The user's server when one is set, else the one found on this machine
// (empty when neither is known).
inline std::string ChooseActiveDnsServer(const std::string& userDnsServer,
                                         const std::string& detectedDnsServer) {
  return userDnsServer.empty() ? detectedDnsServer : userDnsServer;
}
