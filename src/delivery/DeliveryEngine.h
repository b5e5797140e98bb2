// Delivers one received message to each of its recipients, straight to the
// mail exchangers of each recipient's domain, logging and counting every
// outcome and naming the failed recipients in the reply to the mail program.
// The copies of one message go out several at once, within bounds; the
// outcomes are reported in envelope order, as one-by-one delivery gives them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "delivery/RelayCounters.h"
#include "intake/IdEMailAddress.h"
#include "intake/IdMessage.h"

class TIdDNSResolver;
class TMySMTPThread;
class TOperationLog;

// What a delivery writes to: the log for one record per recipient and the
// relay's counters, whose ShuttingDown it reads before each recipient and
// each exchanger.
struct DeliveryContext {
  TOperationLog& Log;
  RelayCounters& Counters;
};

// Deliveries of one message in flight at once (MX lookups or connections).
inline constexpr std::size_t kMostDeliveriesInFlight = 32;
// Connections of one message to one exchanger host at once.
inline constexpr std::size_t kMostConnectionsPerHost = 3;

// Who got one message: the recipients delivered and those that failed.
struct DeliveryReport {
  std::string subject;
  int delivered = 0;
  std::vector<std::string> failed;  // addresses, in envelope order
};

// Delivers msg to every envelope recipient. Leaves replyText empty when all
// were delivered, else "550 Invalid recipient: " and the failed addresses.
// Throws EFailure("550 Relaying denied: Connection to remote host failed")
// when the message has no From address or no recipients, or when the thread
// or the relay is stopping.
// When report is given it receives the outcome of every recipient tried.
void DeliverMessage(const DeliveryContext& context, TMySMTPThread& thread, TIdMessage& msg,
                    const TIdEMailAddressList& envelope, const std::string& dnsServer, std::string& replyText,
                    DeliveryReport* report = nullptr);

// Fills hosts with the exchangers to try for the address's domain, most
// preferred first. Returns whether the MX query completed.
bool LookupMxHosts(TMySMTPThread& thread, const std::string& dnsServer, const std::string& address,
                   std::vector<std::string>& hosts);
// The same for a domain, with the given resolver.
bool LookupDomainHosts(TIdDNSResolver& resolver, const std::string& dnsServer, const std::string& domain,
                       std::vector<std::string>& hosts);

// True when the host name resolves and its first address is 127.0.0.1 or in
// 0.0.0.0/8 (which reaches this machine too).
bool IsLoopbackHost(const std::string& host);
