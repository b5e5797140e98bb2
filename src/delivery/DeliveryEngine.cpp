#include "delivery/DeliveryEngine.h"

#include <algorithm>
#include <set>

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
  DeliveredCopy copy;  // where and how it went, once delivered
};

// Hosts whose STARTTLS failed are remembered for one message: its other
// recipients at such a host go in plain text at once.
class HostsWithoutTlsForMessage {
 public:
  explicit HostsWithoutTlsForMessage(TIdSMTP& smtp) : smtp_(smtp) {
    smtp_.HostsWithoutTls = std::make_shared<std::set<std::string>>();
  }
  ~HostsWithoutTlsForMessage() { smtp_.HostsWithoutTls.reset(); }
  HostsWithoutTlsForMessage(const HostsWithoutTlsForMessage&) = delete;
  HostsWithoutTlsForMessage& operator=(const HostsWithoutTlsForMessage&) = delete;

 private:
  TIdSMTP& smtp_;
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

RecipientOutcome DeliverToRecipient(TMySMTPThread& thread, TIdMessage& msg,
                                    const TIdEMailAddressItem& recipient, const std::string& dnsServer) {
  RecipientOutcome outcome;
  msg.Recipients.Clear();
  msg.CCList.Clear();
  msg.BccList.Clear();
  msg.Recipients.Add() = recipient;

  std::vector<std::string> hosts;
  outcome.lookupSucceeded = LookupMxHosts(thread, dnsServer, recipient.Address, hosts);
  if (!outcome.lookupSucceeded) return outcome;
  for (const auto& host : hosts) {
    outcome.status.clear();
    if (IsLoopbackHost(host)) continue;
    if (TryHost(thread.SMTP(), host, msg, outcome.status)) {
      outcome.failed = false;
      outcome.copy = {recipient.Address, host, thread.SMTP().TlsStatus()};
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
    return !addresses.empty() && os::DottedText(addresses.front()) == "127.0.0.1";
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
                    const TIdEMailAddressList& envelope, const std::string& dnsServer,
                    std::string& replyText) {
  std::string failedRecipients;
  msg.ProcessHeaders();
  if (msg.From.Address.empty() || envelope.GetEMailAddresses().empty())
    throw EFailure(delivery_text::kRelayingDenied);

  const HostsWithoutTlsForMessage hostsWithoutTls(thread.SMTP());
  for (const auto& recipient : envelope) {
    if (thread.Terminated() || context.Counters.ShuttingDown) throw EFailure(delivery_text::kRelayingDenied);
    const RecipientOutcome outcome = DeliverToRecipient(thread, msg, recipient, dnsServer);
    if (outcome.failed) {
      context.Log.WriteLogRecord(false, outcome.lookupSucceeded, recipient.Address, msg.Subject,
                                 outcome.status);
      failedRecipients += recipient.Address + ", ";
      ++context.Counters.FailedCount;
    } else {
      context.Log.WriteLogRecord(true, outcome.lookupSucceeded, recipient.Address, msg.Subject,
                                 delivery_text::kSentSuccessfully);
      ++context.Counters.SentCount;
      if (thread.OnCopyDelivered) thread.OnCopyDelivered(outcome.copy);
    }
  }
  if (!failedRecipients.empty()) {
    failedRecipients.resize(failedRecipients.size() - 2);
    replyText = delivery_text::kInvalidRecipient + failedRecipients;
  }
}
