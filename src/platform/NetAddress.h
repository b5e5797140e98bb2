// IPv4 addresses and host name resolution for the engine's sockets.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace os {

// An IPv4 address as dotted text with a port.
struct Endpoint {
  std::string ip;
  uint16_t port = 0;
};

// Dotted text ("192.0.2.1") of an address.
std::string DottedText(const in_addr& address);

// Makes a socket address; throws ESocketError when the text is not a dotted
// IPv4 address. Empty text is any address.
sockaddr_in MakeAddress(const std::string& dotted, uint16_t port);

// Makes a socket address of the first IPv4 address a host name (or dotted
// text) resolves to. Throws ESocketError as ResolveHost does.
sockaddr_in HostAddress(const std::string& host, uint16_t port);

// The IPv4 addresses a host name (or dotted text) resolves to through the
// operating system's resolver (getaddrinfo, thread-safe), in its order.
// Throws ESocketError with the resolver's text when the name does not resolve.
std::vector<in_addr> ResolveHost(const std::string& host);

// True for an address that reaches this machine: 0.0.0.0/8 (Linux takes it
// for this host), the loopback network 127.0.0.0/8, and the addresses of
// this machine's network interfaces (getifaddrs; when they cannot be read,
// only the first two count).
bool IsThisMachine(const in_addr& address);

// Endpoint of a socket address.
Endpoint ToEndpoint(const sockaddr_in& address);

// The local and the remote end of a socket; "0.0.0.0" and port 0 when the
// socket has none (closed, or not connected).
Endpoint LocalEndpoint(int fd);
Endpoint PeerEndpoint(int fd);

// This computer's host name as gethostname gives it.
std::string LocalHostName();

// Text of an errno value for ESocketError messages.
std::string SocketErrorText(int error);

}  // namespace os
