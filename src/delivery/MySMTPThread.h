// The relay's connection thread: the SMTP dialog's thread plus the outbound
// SMTP and DNS clients that every delivery on this connection reuses, one
// pair for each delivery of a message that runs at once.
#pragma once

#include <memory>

#include "delivery/DeliveryClients.h"
#include "delivery/IdSMTP.h"
#include "delivery/RelayCounters.h"
#include "delivery/dns/IdDNSResolver.h"
#include "intake/SmtpConnectionThread.h"

class TMySMTPThread : public SmtpConnectionThread {
 public:
  static constexpr int kSmtpReadTimeoutMs = 60000;
  static constexpr int kDnsReceiveTimeoutMs = 50000;

  // Counts itself in the relay's ActiveThreadCount while it lives.
  TMySMTPThread(std::unique_ptr<os::TcpStream> connection, std::shared_ptr<RelayCounters> counters);
  ~TMySMTPThread() override;

  // The first client pair: its settings hold for every pair.
  TIdSMTP& SMTP() { return clients_.SMTP(0); }
  TIdDNSResolver& DNSResolver() { return clients_.Resolver(0); }
  DeliveryClients& Clients() { return clients_; }

  // Safe from any thread: a DNS wait or an SMTP read or write in progress
  // on this connection, on any of its clients, fails at once, and so does
  // every later query or connection until ClearClientAborts.
  void CloseClientSockets();
  // Connection thread only, as a delivery starts: lets the clients work
  // again after CloseClientSockets.
  void ClearClientAborts();
  // Marks the thread stopped, then closes the client sockets: a delivery that
  // still saw the thread running finds its clients closed.
  void Terminate() override;

 private:
  DeliveryClients clients_;
  std::shared_ptr<RelayCounters> counters_;
};
