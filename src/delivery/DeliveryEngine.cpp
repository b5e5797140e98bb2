#include "delivery/DeliveryEngine.h"

#include <arpa/inet.h>

#include <algorithm>

#include "delivery/DeliveryTexts.h"
#include "delivery/MySMTPThread.h"
#include "delivery/SmtpReplies.h"
#include "log/OperationLog.h"
#include "platform/Failure.h"
#include "platform/NetAddress.h"

namespace {

// What one recipient came to.
struct RecipientOutcome {
  bool failed = true;
  bool lookupSucceeded = false;
  std::string status = delivery_text::kCouldNotResolveDomain;
};

std::string JoinReplyLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// The status a failed host attempt leaves: a dropped connection says so;
// a refused command gives the refusing reply's text; any other failure after
// the greeting (a read time-out, a socket error) gives its own text, since
// the client's last reply then answered an earlier command.
std::string FailedAttemptStatus(const TIdSMTP& smtp, const EFailure* failure) {
  if (smtp.ClosedGracefully()) return delivery_text::kConnectionFailed;
  if (failure == nullptr || dynamic_cast<const ESmtpReplyError*>(failure) != nullptr)
    return JoinReplyLines(smtp.LastReplyText());
  return failure->what();
}

// One attempt at one exchanger; true when it accepted the message.
bool TryHost(TIdSMTP& smtp, const std::string& host, TIdMessage& msg, std::string& status) {
  try {
    smtp.Host = host;
    smtp.Connect(kMxConnectTimeoutMs);
    smtp.Send(msg);
    smtp.Disconnect();
    return true;
  } catch (const EFailure& failure) {
    status = FailedAttemptStatus(smtp, &failure);
  } catch (const std::exception&) {
    status = FailedAttemptStatus(smtp, nullptr);
  }
  if (smtp.Connected()) {
    try {
      smtp.Disconnect();
    } catch (...) {
    }
  }
  return false;
}

bool StopRequested(const DeliveryContext& context, const TMySMTPThread& thread) {
  return thread.Terminated() || context.Counters.ShuttingDown;
}

// 127.0.0.1, and 0.0.0.0/8, which Linux takes for this host.
bool IsLoopbackAddress(const in_addr& address) {
  return os::DottedText(address) == "127.0.0.1" || (ntohl(address.s_addr) >> 24) == 0;
}

// An exchanger not to try: a loopback host, or an address of this machine
// on the port this relay listens on, which would hand the copy back to the
// relay itself (a mail loop, one more connection per round).
bool IsSelf(const std::string& host, int port, int listenerPort) {
  if (IsLoopbackHost(host)) return true;
  if (port != listenerPort) return false;
  try {
    return os::IsThisMachine(os::ResolveHost(host).front());
  } catch (...) {
    return false;
  }
}

RecipientOutcome DeliverToRecipient(const DeliveryContext& context, TMySMTPThread& thread, TIdMessage& msg,
                                    const TIdEMailAddressItem& recipient, const std::string& dnsServer) {
  RecipientOutcome outcome;
  msg.Recipients.Clear();
  msg.CCList.Clear();
  msg.BccList.Clear();
  msg.Recipients.Add() = recipient;

  std::vector<std::string> hosts;
  outcome.lookupSucceeded = LookupMxHosts(thread, dnsServer, recipient.Address, hosts);
  if (!outcome.lookupSucceeded) return outcome;
  const int listenerPort = thread.LocalEndpoint().port;
  for (const auto& host : hosts) {
    // At exit the attempt in progress fails; no further exchanger is tried,
    // or the copy could arrive after the mail program was told it failed.
    if (StopRequested(context, thread)) {
      outcome.status = delivery_text::kConnectionFailed;
      break;
    }
    outcome.status.clear();
    if (IsSelf(host, thread.SMTP().Port, listenerPort)) continue;
    if (TryHost(thread.SMTP(), host, msg, outcome.status)) {
      outcome.failed = false;
      break;
    }
  }
  if (outcome.failed && outcome.status.empty()) outcome.status = delivery_text::kUnableToSend;
  return outcome;
}

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  try {
    const auto addresses = os::ResolveHost(host);
    return !addresses.empty() && IsLoopbackAddress(addresses.front());
  } catch (...) {
    return false;
  }
}

bool LookupMxHosts(TMySMTPThread& thread, const std::string& dnsServer, const std::string& address,
                   std::vector<std::string>& hosts) {
  hosts.clear();
  bool completed = false;
  const std::string domain = DomainOf(address);
  if (!domain.empty()) {
    TIdDNSResolver& resolver = thread.DNSResolver();
    std::vector<const TMXRecord*> exchangers;
    try {
      resolver.QueryRecords = TQueryRecordTypes{qtMX};
      resolver.Host = dnsServer;
      resolver.ClearResults();
      resolver.Activate();
      resolver.Resolve(domain);
      completed = true;
      exchangers = resolver.QueryResult().OfType<TMXRecord>();
    } catch (...) {
      completed = false;
    }
    // Most preferred first; equal preferences keep the order of the answer.
    std::stable_sort(exchangers.begin(), exchangers.end(),
                     [](const TMXRecord* a, const TMXRecord* b) { return a->Preference < b->Preference; });
    for (const auto* mx : exchangers) hosts.push_back(mx->ExchangeServer);
  }
  if (hosts.empty()) hosts.push_back(domain);
  return completed;
}

void DeliverMessage(const DeliveryContext& context, TMySMTPThread& thread, TIdMessage& msg,
                    const TIdEMailAddressList& envelope, const std::string& dnsServer, std::string& replyText,
                    DeliveryReport* report) {
  // A close of the client sockets stays in force until here, so that no
  // query or connection of the delivery it stopped slips through.
  thread.ClearClientAborts();
  std::string failedRecipients;
  msg.ProcessHeaders();
  if (msg.From.Address.empty() || envelope.GetEMailAddresses().empty())
    throw EFailure(delivery_text::kRelayingDenied);
  if (report) report->subject = msg.Subject;

  for (const auto& recipient : envelope) {
    if (StopRequested(context, thread)) throw EFailure(delivery_text::kRelayingDenied);
    const RecipientOutcome outcome = DeliverToRecipient(context, thread, msg, recipient, dnsServer);
    if (outcome.failed) {
      context.Log.WriteLogRecord(false, outcome.lookupSucceeded, recipient.Address, msg.Subject,
                                 outcome.status);
      failedRecipients += recipient.Address + ", ";
      ++context.Counters.FailedCount;
      if (report) report->failed.push_back(recipient.Address);
    } else {
      context.Log.WriteLogRecord(true, outcome.lookupSucceeded, recipient.Address, msg.Subject,
                                 delivery_text::kSentSuccessfully);
      ++context.Counters.SentCount;
      if (report) ++report->delivered;
    }
  }
  if (!failedRecipients.empty()) {
    failedRecipients.resize(failedRecipients.size() - 2);
    replyText = delivery_text::kInvalidRecipient + failedRecipients;
  }
}
