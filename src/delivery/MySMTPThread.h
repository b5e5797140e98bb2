// The relay's connection thread: the SMTP dialog's thread plus the outbound
// SMTP client and the DNS client that every delivery on this connection
// reuses.
#pragma once

#include <functional>
#include <memory>

#include "delivery/DeliveredCopy.h"
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

  // Called on this thread for every copy an exchanger took; set before the
  // thread starts.
  std::function<void(const DeliveredCopy&)> OnCopyDelivered;

  TIdSMTP& SMTP() { return *smtp_; }
  TIdDNSResolver& DNSResolver() { return *resolver_; }

  // Safe from any thread: a DNS wait or an SMTP read or write in progress
  // on this connection fails at once.
  void CloseClientSockets();
  void Terminate() override;

 private:
  std::unique_ptr<TIdSMTP> smtp_;
  std::unique_ptr<TIdDNSResolver> resolver_;
  std::shared_ptr<RelayCounters> counters_;
};
