// The DNS stub client with which delivery finds a domain's mail exchangers:
// one query over UDP to one server, one answer, checked and decoded.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "delivery/dns/DNSHeader.h"
#include "delivery/dns/DnsRecords.h"
#include "delivery/dns/IdDnsResolverError.h"
#include "delivery/dns/QueryRecordTypes.h"
#include "platform/UdpSocket.h"

class TIdDNSResolver {
 public:
  std::string Host;        // "a.b.c.d", a host name, or either with a port: "127.0.0.1:5353"
  int Port = 53;           // used when Host names no port
  int ReceiveTimeout = 0;  // ms to wait for the answer
  int BufferSize = 8192;   // largest datagram received
  TQueryRecordTypes QueryRecords;
  bool AllowRecursiveQueries = true;

  TIdDNSResolver() = default;
  TIdDNSResolver(const TIdDNSResolver&) = delete;
  TIdDNSResolver& operator=(const TIdDNSResolver&) = delete;

  // Opens the UDP socket on an ephemeral port unless it is open. Throws
  // ESocketError, also after CloseSocket until ClearAbort.
  void Activate();
  bool Active() const { return socket_.IsOpen(); }
  void ClearResults() { results_.Clear(); }

  // Sends one query for `domain` with a fresh random ID, waits for the
  // server's answer and decodes it into QueryResult(). Throws
  // EIdDnsResolverError with the failure's text, or ESocketError.
  void Resolve(const std::string& domain);

  // The records of the last successful query, in answer order.
  const TQueryResult& QueryResult() const { return results_; }
  const TDNSHeader& Header() const { return header_; }              // of the last query sent
  const TDNSHeader& AnswerHeader() const { return answerHeader_; }  // as far as the last answer was read
  const std::string& Query() const { return query_; }               // the last query built
  uint16_t LocalPort() const { return socket_.LocalPort(); }

  // Safe from any thread: a wait in progress fails at once with ESocketError,
  // and no query goes out until ClearAbort.
  void CloseSocket() { socket_.Abort(); }
  // Owner only: lets Activate open a socket again after CloseSocket.
  void ClearAbort() { socket_.ClearAbort(); }

 private:
  sockaddr_in ServerAddress() const;
  void DropPendingDatagrams();
  std::string ReceiveAnswer(const sockaddr_in& server);

  os::UdpSocket socket_;
  TDNSHeader header_;
  TDNSHeader answerHeader_;
  std::string query_;
  TQueryResult results_;
};
