// The running relay without its windows: the SMTP listener wired to the
// delivery engine, the settings that connection threads read while the
// program runs, the counters they keep, and the orderly stop. The desktop
// controller owns one; tests and benchmarks drive it directly.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "delivery/DeliveredCopy.h"
#include "delivery/DeliveryEngine.h"
#include "delivery/RelayCounters.h"
#include "intake/LocalServer.h"

class TOperationLog;

class RelayServer {
 public:
  // Called on a connection thread for every received message with 1 when a
  // DNS server was known and 0 when not; the controller arms its DNS-warning
  // timer with it. Must not block.
  using DnsWarningHook = std::function<void(int tag)>;
  // Called on a connection thread for every copy an exchanger took.
  using DeliveryHook = std::function<void(const DeliveredCopy& copy)>;
  // Called on a connection thread after a message some of whose recipients
  // got it and some not, so the user can be told whom to send it to again.
  // Must not block.
  using PartialDeliveryHook = std::function<void(const DeliveryReport& report)>;

  static constexpr int kListenQueue = 32;
  // Descriptors kept free for the program's own files (the log save) and
  // its other sockets, whatever the number of connections.
  static constexpr std::size_t kReservedDescriptors = 64;
  // A connection holds its own socket, and while it delivers a DNS socket
  // and an outbound SMTP connection.
  static constexpr std::size_t kDescriptorsPerConnection = 3;

  // How many connections may be open at once under a limit of open files,
  // so that every one of them can deliver and the reserve stays free.
  // Connections over it are told to come back later and closed.
  static int ConnectionLimitFor(std::size_t openFileLimit);

  // Deliveries write their records to log, which must outlive the relay.
  explicit RelayServer(TOperationLog& log);
  ~RelayServer();
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;

  // The DNS server that MX queries go to; read whole by connection threads.
  void SetActiveDnsServer(const std::string& server);
  std::string ActiveDnsServer() const;
  // Accept connections from this computer only; applies to the next one.
  void SetLocalOnly(bool localOnly) { localOnly_ = localOnly; }
  bool LocalOnly() const { return localOnly_; }
  void SetDnsWarningHook(DnsWarningHook hook);
  void SetDeliveryHook(DeliveryHook hook);
  // Copies delivered since the start over TLS and in plain text.
  int64_t EncryptedCopies() const { return encryptedCopies_; }
  int64_t PlainCopies() const { return plainCopies_; }
  void SetPartialDeliveryHook(PartialDeliveryHook hook);
  // Port that outbound SMTP connections use (25; tests use another).
  void SetOutboundPort(int port) { outboundPort_ = port; }

  // Recipients delivered and failed, and connection threads alive; safe to
  // read from any thread.
  int32_t SentCount() const { return counters_->SentCount; }
  int32_t FailedCount() const { return counters_->FailedCount; }
  int32_t ActiveThreadCount() const { return counters_->ActiveThreadCount; }
  void ZeroSentCount() { counters_->SentCount = 0; }
  void ZeroFailedCount() { counters_->FailedCount = 0; }
  bool ShuttingDown() const { return counters_->ShuttingDown; }
  // Connection threads in percent of the listen queue, at most 100.
  int ThreadLoad() const { return ThreadLoadOf(ActiveThreadCount()); }
  static int ThreadLoadOf(int32_t threads);
  TOperationLog& Log() { return log_; }

  // Greets with "Welcome to the " + productName and listens on port (all
  // local IPv4 addresses, or bindIp), taking no more connections than the
  // process's limit of open files allows. Throws the listener's bind failure.
  void Start(const std::string& productName, int port, const std::string& bindIp = "");
  // Sets ShuttingDown, drops the client sockets of every live connection
  // thread so deliveries in progress fail at once, then stops the listener
  // (waiting at most its TerminateWaitTime for connection threads).
  void Shutdown();

  LocalServer& Listener() { return *listener_; }
  // The port the listener holds; 0 while it does not listen.
  uint16_t BoundPort() const { return listener_->BoundPort(); }

 private:
  void ReceiveMail(SmtpConnectionThread& sender, TIdMessage& msg, TIdEMailAddressList& recipients,
                   std::string& customError);
  void LocalServerConnect(SmtpConnectionThread& thread);
  void CopyDelivered(const DeliveredCopy& copy);

  TOperationLog& log_;
  std::shared_ptr<RelayCounters> counters_;
  std::unique_ptr<LocalServer> listener_;
  mutable std::mutex dnsLock_;
  std::string activeDnsServer_;
  std::atomic<bool> localOnly_{true};
  std::atomic<int> outboundPort_{25};
  std::mutex hookLock_;
  DnsWarningHook dnsWarningHook_;
  DeliveryHook deliveryHook_;
  std::atomic<int64_t> encryptedCopies_{0};
  std::atomic<int64_t> plainCopies_{0};
  PartialDeliveryHook partialDeliveryHook_;
};
