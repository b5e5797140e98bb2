#include "delivery/DeliveryEngine.h"

#include <arpa/inet.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "delivery/DeliveryLanes.h"
#include "delivery/DeliveryTexts.h"
#include "delivery/ExchangerSession.h"
#include "delivery/ExchangerSlots.h"
#include "delivery/HostSet.h"
#include "delivery/MySMTPThread.h"
#include "log/OperationLog.h"
#include "platform/AsciiText.h"
#include "platform/Failure.h"
#include "platform/NetAddress.h"
#include "platform/WorkerThreads.h"

namespace {

// Stack of a delivery worker: the same as a connection thread's, which runs
// the same code when a message needs one delivery at a time.
constexpr std::size_t kWorkerStackSize = 256 * 1024;

// What one recipient came to.
struct RecipientOutcome {
  bool handled = false;  // tried, or found undeliverable; false when the stop came first
  bool failed = true;
  bool lookupSucceeded = false;
  std::string status = delivery_text::kCouldNotResolveDomain;
  DeliveredCopy copy;  // where and how it went, once delivered
};

// Hosts whose STARTTLS failed are remembered for one message: its other
// recipients at such a host go in plain text at once, whichever worker
// delivers them. A worker's client holds the message's set for one lane.
class HostsWithoutTlsForLane {
 public:
  HostsWithoutTlsForLane(TIdSMTP& smtp, std::shared_ptr<HostSet> hosts) : smtp_(smtp) {
    smtp_.HostsWithoutTls = std::move(hosts);
  }
  ~HostsWithoutTlsForLane() { smtp_.HostsWithoutTls.reset(); }
  HostsWithoutTlsForLane(const HostsWithoutTlsForLane&) = delete;
  HostsWithoutTlsForLane& operator=(const HostsWithoutTlsForLane&) = delete;

 private:
  TIdSMTP& smtp_;
};

// The exchangers of one recipient domain, looked up once per message.
struct DomainRoute {
  std::string domain;  // as the first recipient at it spelled it
  bool lookedUp = false;
  bool lookupSucceeded = false;
  std::vector<std::string> hosts;
};

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

// A copy of msg without its body lines, which can be large: the copies for
// the recipients share the received body.
TIdMessage WithoutBody(TIdMessage& msg) {
  auto body = std::move(msg.Body);
  TIdMessage copy = msg;
  msg.Body = std::move(body);
  copy.Body.clear();
  return copy;
}

// One message's delivery to all its recipients: one MX lookup per domain,
// then the copies over lanes of connections, several at once within the
// bounds, then the outcomes in envelope order as one-by-one delivery gives
// them.
class MessageDelivery {
 public:
  MessageDelivery(const DeliveryContext& context, TMySMTPThread& thread, TIdMessage& msg,
                  const TIdEMailAddressList& envelope, const std::string& dnsServer)
      : context_(context),
        thread_(thread),
        msg_(msg),
        recipients_(envelope.begin(), envelope.end()),
        dnsServer_(dnsServer),
        header_(WithoutBody(msg)),
        outcomes_(recipients_.size()),
        slots_(kMostConnectionsPerHost) {
    std::map<std::string, std::size_t> byDomain;
    for (const auto& recipient : recipients_) {
      const std::string domain = DomainOf(recipient.Address);
      auto [found, added] = byDomain.try_emplace(ascii::ToLower(domain), routes_.size());
      if (added) routes_.emplace_back().domain = domain;
      domainOf_.push_back(found->second);
    }
  }

  void LookUpDomains() {
    Prepare(routes_.size());
    os::RunOnWorkers(routes_.size(), kMostDeliveriesInFlight, kWorkerStackSize,
                     [this](std::size_t route, std::size_t worker) { LookUp(routes_[route], worker); });
    for (std::size_t i = 0; i < outcomes_.size(); ++i) {
      const DomainRoute& route = routes_[domainOf_[i]];
      outcomes_[i].lookupSucceeded = route.lookupSucceeded;
      // Without a completed lookup no host is tried: the outcome is final.
      outcomes_[i].handled = route.lookedUp && !route.lookupSucceeded;
    }
  }

  void DeliverCopies() {
    std::vector<std::pair<std::size_t, std::string>> toDeliver;
    for (std::size_t i = 0; i < outcomes_.size(); ++i) {
      const DomainRoute& route = routes_[domainOf_[i]];
      if (route.lookupSucceeded) toDeliver.emplace_back(i, route.hosts.front());
    }
    const std::vector<DeliveryLane> lanes = PlanLanes(toDeliver, kMostConnectionsPerHost);
    Prepare(lanes.size());
    os::RunOnWorkers(lanes.size(), kMostDeliveriesInFlight, kWorkerStackSize,
                     [&](std::size_t lane, std::size_t worker) { DeliverLane(lanes[lane], worker); });
  }

  // Logs and counts every handled recipient in envelope order and names the
  // failed ones in replyText. Throws the refusal when the stop left
  // recipients untried.
  void Report(std::string& replyText, DeliveryReport* report) {
    std::string failedRecipients;
    bool stopped = false;
    for (std::size_t i = 0; i < outcomes_.size(); ++i) {
      const RecipientOutcome& outcome = outcomes_[i];
      const std::string& address = recipients_[i].Address;
      if (!outcome.handled) {
        stopped = true;
      } else if (outcome.failed) {
        context_.Log.WriteLogRecord(false, outcome.lookupSucceeded, address, msg_.Subject, outcome.status);
        failedRecipients += address + ", ";
        ++context_.Counters.FailedCount;
        if (report) report->failed.push_back(address);
      } else {
        context_.Log.WriteLogRecord(true, outcome.lookupSucceeded, address, msg_.Subject,
                                    delivery_text::kSentSuccessfully);
        ++context_.Counters.SentCount;
        if (report) ++report->delivered;
        if (thread_.OnCopyDelivered) thread_.OnCopyDelivered(outcome.copy);
      }
    }
    if (stopped) throw EFailure(delivery_text::kRelayingDenied);
    if (!failedRecipients.empty()) {
      failedRecipients.resize(failedRecipients.size() - 2);
      replyText = delivery_text::kInvalidRecipient + failedRecipients;
    }
  }

 private:
  bool Stopping() const { return thread_.Terminated() || context_.Counters.ShuttingDown; }

  // Enough client pairs for the workers that will run `items` items.
  void Prepare(std::size_t items) { thread_.Clients().Reserve(std::min(items, kMostDeliveriesInFlight)); }

  void LookUp(DomainRoute& route, std::size_t worker) {
    // After a stop no query goes out: its recipients stay untried.
    if (Stopping()) return;
    route.lookedUp = true;
    route.lookupSucceeded =
        LookupDomainHosts(thread_.Clients().Resolver(worker), dnsServer_, route.domain, route.hosts);
  }

  void DeliverLane(const DeliveryLane& lane, std::size_t worker) {
    TIdSMTP& smtp = thread_.Clients().SMTP(worker);
    const HostsWithoutTlsForLane hostsWithoutTls(smtp, hostsWithoutTls_);
    ExchangerSession session(smtp, slots_, [this] { return Stopping(); });
    TIdMessage copy = header_;
    for (std::size_t index : lane) {
      if (Stopping()) return;
      DeliverTo(index, session, smtp, copy);
    }
  }

  void DeliverTo(std::size_t index, ExchangerSession& session, const TIdSMTP& smtp, TIdMessage& copy) {
    RecipientOutcome& outcome = outcomes_[index];
    outcome.handled = true;
    copy.Recipients.Clear();
    copy.CCList.Clear();
    copy.BccList.Clear();
    copy.Recipients.Add() = recipients_[index];
    for (const auto& host : routes_[domainOf_[index]].hosts) {
      // At exit the attempt in progress fails; no further exchanger is tried,
      // or the copy could arrive after the mail program was told it failed.
      if (Stopping()) {
        outcome.status = delivery_text::kConnectionFailed;
        break;
      }
      outcome.status.clear();
      if (IsSelfHost(host)) continue;
      if (session.Deliver(host, copy, msg_, outcome.status)) {
        outcome.failed = false;
        outcome.copy = {recipients_[index].Address, host, smtp.TlsStatus()};
        break;
      }
    }
    if (outcome.failed && outcome.status.empty()) outcome.status = delivery_text::kUnableToSend;
  }

  // Asked once per host and message: the answer does not change between
  // recipients, and asking costs a name lookup.
  bool IsSelfHost(const std::string& host) {
    const std::string key = ascii::ToLower(host);
    {
      std::lock_guard lock(selfLock_);
      if (auto found = self_.find(key); found != self_.end()) return found->second;
    }
    const bool self = IsSelf(host, thread_.SMTP().Port, thread_.LocalEndpoint().port);
    std::lock_guard lock(selfLock_);
    self_.emplace(key, self);
    return self;
  }

  const DeliveryContext& context_;
  TMySMTPThread& thread_;
  const TIdMessage& msg_;
  const std::vector<TIdEMailAddressItem> recipients_;  // the envelope's
  const std::string dnsServer_;
  const TIdMessage header_;  // the message without its body
  std::vector<DomainRoute> routes_;
  std::vector<std::size_t> domainOf_;  // route index of each recipient
  // Each written by the one worker that has its recipient.
  std::vector<RecipientOutcome> outcomes_;
  ExchangerSlots slots_;
  const std::shared_ptr<HostSet> hostsWithoutTls_ = std::make_shared<HostSet>();
  std::mutex selfLock_;
  std::map<std::string, bool> self_;
};

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  try {
    const auto addresses = os::ResolveHost(host);
    return !addresses.empty() && IsLoopbackAddress(addresses.front());
  } catch (...) {
    return false;
  }
}

bool LookupDomainHosts(TIdDNSResolver& resolver, const std::string& dnsServer, const std::string& domain,
                       std::vector<std::string>& hosts) {
  hosts.clear();
  bool completed = false;
  if (!domain.empty()) {
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

bool LookupMxHosts(TMySMTPThread& thread, const std::string& dnsServer, const std::string& address,
                   std::vector<std::string>& hosts) {
  return LookupDomainHosts(thread.DNSResolver(), dnsServer, DomainOf(address), hosts);
}

void DeliverMessage(const DeliveryContext& context, TMySMTPThread& thread, TIdMessage& msg,
                    const TIdEMailAddressList& envelope, const std::string& dnsServer, std::string& replyText,
                    DeliveryReport* report) {
  // A close of the client sockets stays in force until here, so that no
  // query or connection of the delivery it stopped slips through.
  thread.ClearClientAborts();
  msg.ProcessHeaders();
  if (msg.From.Address.empty() || envelope.GetEMailAddresses().empty())
    throw EFailure(delivery_text::kRelayingDenied);
  if (report) report->subject = msg.Subject;

  MessageDelivery delivery(context, thread, msg, envelope, dnsServer);
  delivery.LookUpDomains();
  delivery.DeliverCopies();
  delivery.Report(replyText, report);
}
