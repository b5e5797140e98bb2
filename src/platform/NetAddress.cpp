#include "platform/NetAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "platform/Failure.h"

namespace os {

std::string DottedText(const in_addr& address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

sockaddr_in MakeAddress(const std::string& dotted, uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (dotted.empty()) {
    address.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (inet_pton(AF_INET, dotted.c_str(), &address.sin_addr) != 1) {
    throw ESocketError("Invalid IPv4 address: " + dotted);
  }
  return address;
}

std::vector<in_addr> ResolveHost(const std::string& host) {
  std::vector<in_addr> result;
  in_addr literal{};
  if (inet_pton(AF_INET, host.c_str(), &literal) == 1) {
    result.push_back(literal);
    return result;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  int rc = host.empty() ? EAI_NONAME : getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (rc != 0) throw ESocketError("Host not found: " + host + " (" + gai_strerror(rc) + ")");
  for (addrinfo* item = list; item; item = item->ai_next)
    result.push_back(reinterpret_cast<sockaddr_in*>(item->ai_addr)->sin_addr);
  freeaddrinfo(list);
  if (result.empty()) throw ESocketError("Host not found: " + host);
  return result;
}

bool IsThisMachine(const in_addr& address) {
  const uint32_t host = ntohl(address.s_addr);
  const uint32_t network = host >> 24;
  if (network == 0 || network == 127) return true;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool own = false;
  for (ifaddrs* item = list; item && !own; item = item->ifa_next) {
    if (item->ifa_addr && item->ifa_addr->sa_family == AF_INET)
      own = reinterpret_cast<const sockaddr_in*>(item->ifa_addr)->sin_addr.s_addr == address.s_addr;
  }
  freeifaddrs(list);
  return own;
}

sockaddr_in HostAddress(const std::string& host, uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr = ResolveHost(host).front();
  return address;
}

Endpoint ToEndpoint(const sockaddr_in& address) {
  return {DottedText(address.sin_addr), ntohs(address.sin_port)};
}

Endpoint LocalEndpoint(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) address = sockaddr_in{};
  return ToEndpoint(address);
}

Endpoint PeerEndpoint(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) address = sockaddr_in{};
  return ToEndpoint(address);
}

std::string LocalHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

std::string SocketErrorText(int error) { return std::strerror(error); }

}  // namespace os
