// Finds the DNS server this machine's network configuration uses: the
// first IPv4 name server of the resolver configuration file.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kResolverConfigPath = "/etc/resolv.conf";

// The IPv4 name servers of a resolver configuration file, in file order,
// each as ExtractAddressDigits leaves it. Empty when the file is missing or
// unreadable. Never throws.
std::vector<std::string> DetectSystemDnsServers(const std::string& path = kResolverConfigPath);

// The first of them as dotted text, or empty text. Never throws; reads one
// small file and sends nothing, so it can run every couple of seconds.
std::string FindSystemDnsServer(const std::string& path = kResolverConfigPath);

// Cleans an address text: from the first ":" on if there is one, then
// without the non-digits at either end ("DNS: 192.0.2.1 " gives "192.0.2.1").
std::string ExtractAddressDigits(const std::string& text);
