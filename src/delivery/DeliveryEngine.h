// Delivers one received message, recipient by recipient, straight to the
// mail exchangers of each recipient's domain, logging and counting every
// outcome and naming the failed recipients in the reply to the mail program.
#pragma once

#include <string>
#include <vector>

#include "delivery/RelayCounters.h"
#include "intake/IdEMailAddress.h"
#include "intake/IdMessage.h"

class TMySMTPThread;
class TOperationLog;

// What a delivery writes to: the log for one record per recipient and the
// relay's counters, whose ShuttingDown it reads before each recipient.
struct DeliveryContext {
  TOperationLog& Log;
  RelayCounters& Counters;
};

// Longest wait for an exchanger's TCP connection to be established.
inline constexpr int kMxConnectTimeoutMs = 90000;

// Delivers msg to every envelope recipient. Leaves replyText empty when all
// were delivered, else "550 Invalid recipient: " and the failed addresses.
// Throws EFailure("550 Relaying denied: Connection to remote host failed")
// when the message has no From address or no recipients, or when the thread
// or the relay is stopping.
void DeliverMessage(const DeliveryContext& context, TMySMTPThread& thread, TIdMessage& msg,
                    const TIdEMailAddressList& envelope, const std::string& dnsServer,
                    std::string& replyText);

// Fills hosts with the exchangers to try for the address's domain, most
// preferred first. Returns whether the MX query completed.
bool LookupMxHosts(TMySMTPThread& thread, const std::string& dnsServer, const std::string& address,
                   std::vector<std::string>& hosts);

// True when the host name resolves and its first address is 127.0.0.1.
bool IsLoopbackHost(const std::string& host);
