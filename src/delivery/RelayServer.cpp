#include "delivery/RelayServer.h"

#include <limits>

#include "delivery/DeliveryEngine.h"
#include "delivery/MySMTPThread.h"
#include "platform/DescriptorLimit.h"

RelayServer::RelayServer(TOperationLog& log)
    : log_(log), counters_(std::make_shared<RelayCounters>()), listener_(std::make_unique<LocalServer>()) {
  listener_->ListenQueue = kListenQueue;
  listener_->ThreadClass = [this](std::unique_ptr<os::TcpStream> connection) {
    auto thread = std::make_unique<TMySMTPThread>(std::move(connection), counters_);
    thread->SMTP().Port = outboundPort_;
    thread->OnCopyDelivered = [this](const DeliveredCopy& copy) { CopyDelivered(copy); };
    return thread;
  };
  listener_->OnConnect = [this](SmtpConnectionThread& thread) { LocalServerConnect(thread); };
  listener_->OnReceiveMessage = [this](SmtpConnectionThread& sender, TIdMessage& msg,
                                       TIdEMailAddressList& recipients, std::string& customError) {
    ReceiveMail(sender, msg, recipients, customError);
  };
}

RelayServer::~RelayServer() {
  if (listener_->Active()) Shutdown();
}

int RelayServer::ThreadLoadOf(int32_t threads) {
  const double load = static_cast<double>(threads) / kListenQueue * 100;
  if (load >= 100) return 100;
  return load <= 0 ? 0 : static_cast<int>(load);
}

void RelayServer::SetActiveDnsServer(const std::string& server) {
  std::lock_guard lock(dnsLock_);
  activeDnsServer_ = server;
}

std::string RelayServer::ActiveDnsServer() const {
  std::lock_guard lock(dnsLock_);
  return activeDnsServer_;
}

void RelayServer::SetDnsWarningHook(DnsWarningHook hook) {
  std::lock_guard lock(hookLock_);
  dnsWarningHook_ = std::move(hook);
}

int RelayServer::ConnectionLimitFor(std::size_t openFileLimit) {
  if (openFileLimit <= kReservedDescriptors + kDescriptorsPerConnection) return 1;
  const std::size_t connections = (openFileLimit - kReservedDescriptors) / kDescriptorsPerConnection;
  return connections > static_cast<std::size_t>(std::numeric_limits<int>::max())
             ? std::numeric_limits<int>::max()
             : static_cast<int>(connections);
}

void RelayServer::SetDeliveryHook(DeliveryHook hook) {
  std::lock_guard lock(hookLock_);
  deliveryHook_ = std::move(hook);
}

void RelayServer::SetPartialDeliveryHook(PartialDeliveryHook hook) {
  std::lock_guard lock(hookLock_);
  partialDeliveryHook_ = std::move(hook);
}

void RelayServer::Start(const std::string& productName, int port, const std::string& bindIp) {
  listener_->Greeting = {replies::kGreetingCode, {std::string(replies::kGreeting) + productName}};
  listener_->DefaultPort = port;
  listener_->MaxConnections = ConnectionLimitFor(os::OpenFileLimit());
  counters_->ShuttingDown = false;
  listener_->Bindings.clear();
  if (!bindIp.empty()) listener_->Bindings.push_back({bindIp, port});
  listener_->SetActive(true);
}

void RelayServer::Shutdown() {
  counters_->ShuttingDown = true;
  listener_->ForEachActiveThread([](SmtpConnectionThread& thread) {
    if (auto* relayThread = dynamic_cast<TMySMTPThread*>(&thread)) relayThread->CloseClientSockets();
  });
  try {
    listener_->SetActive(false);
  } catch (...) {
  }
}

void RelayServer::ReceiveMail(SmtpConnectionThread& sender, TIdMessage& msg, TIdEMailAddressList& recipients,
                              std::string& customError) {
  const std::string dnsServer = ActiveDnsServer();
  {
    std::lock_guard lock(hookLock_);
    if (dnsWarningHook_) dnsWarningHook_(dnsServer.empty() ? 0 : 1);
  }
  DeliveryReport report;
  DeliverMessage({log_, *counters_}, dynamic_cast<TMySMTPThread&>(sender), msg, recipients, dnsServer,
                 customError, &report);
  if (report.delivered > 0 && !report.failed.empty()) {
    std::lock_guard lock(hookLock_);
    if (partialDeliveryHook_) partialDeliveryHook_(report);
  }
}

void RelayServer::LocalServerConnect(SmtpConnectionThread& thread) {
  if (localOnly_) RestrictToLocalPeers(thread);
}

void RelayServer::CopyDelivered(const DeliveredCopy& copy) {
  ++(copy.tls.encrypted ? encryptedCopies_ : plainCopies_);
  std::lock_guard lock(hookLock_);
  if (!deliveryHook_) return;
  try {
    deliveryHook_(copy);
  } catch (...) {
    // Telling about a copy must never undo its delivery.
  }
}
