// The relay's connection thread: the SMTP dialog's thread plus the outbound
// SMTP and DNS clients that every delivery on this connection reuses, one
// pair for each delivery of a message that runs at once.
#pragma once

#include <functional>
#include <memory>

#include "delivery/DeliveredCopy.h"
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

  // Called on this thread for every copy an exchanger took; set before the
  // thread starts.
  std::function<void(const DeliveredCopy&)> OnCopyDelivered;

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
  // Counts the thread as active for as long as the mark lives. It is made
  // before the clients and goes after them: freeing a TLS session still
  // calls into OpenSSL, and once the count reaches zero the program may exit
  // and OpenSSL's cleanup at exit may run.
  class ActiveMark {
   public:
    explicit ActiveMark(std::shared_ptr<RelayCounters> counters) : counters_(std::move(counters)) {
      ++counters_->ActiveThreadCount;
    }
    ~ActiveMark() { --counters_->ActiveThreadCount; }
    ActiveMark(const ActiveMark&) = delete;
    ActiveMark& operator=(const ActiveMark&) = delete;

   private:
    std::shared_ptr<RelayCounters> counters_;
  };

  ActiveMark active_;
  DeliveryClients clients_;
};
