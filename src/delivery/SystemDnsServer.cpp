#include "delivery/SystemDnsServer.h"

#include <arpa/inet.h>

#include <cctype>
#include <fstream>
#include <sstream>

namespace {

// A resolver configuration is a few lines; anything longer is not one.
constexpr std::size_t kMostLines = 1000;

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

bool IsIPv4(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// The address of a "nameserver ADDRESS" line, or empty text for any other line.
std::string NameServerOf(const std::string& line) {
  std::istringstream words(line);
  std::string keyword, address;
  words >> keyword >> address;
  return keyword == "nameserver" ? address : std::string();
}

}  // namespace

std::string ExtractAddressDigits(const std::string& text) {
  std::string result = text;
  if (auto colon = result.find(':'); colon != std::string::npos) result.erase(0, colon);
  std::size_t first = 0;
  while (first < result.size() && !IsDigit(result[first])) ++first;
  result.erase(0, first);
  while (!result.empty() && !IsDigit(result.back())) result.pop_back();
  return result;
}

std::vector<std::string> DetectSystemDnsServers(const std::string& path) {
  std::vector<std::string> servers;
  try {
    std::ifstream file(path);
    std::string line;
    for (std::size_t n = 0; n < kMostLines && std::getline(file, line); ++n) {
      std::string address = ExtractAddressDigits(NameServerOf(line));
      if (IsIPv4(address)) servers.push_back(std::move(address));
    }
  } catch (...) {
    // Detection never fails: what was found so far stands.
  }
  return servers;
}

std::string FindSystemDnsServer(const std::string& path) {
  try {
    auto servers = DetectSystemDnsServers(path);
    return servers.empty() ? std::string() : servers.front();
  } catch (...) {
    return {};
  }
}
