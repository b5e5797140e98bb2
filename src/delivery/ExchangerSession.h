// One delivery worker's connection to an exchanger. It is kept from one
// recipient's copy to the next while they go to the same host and every
// transaction on it succeeded; after any failure the next copy starts on a
// fresh connection, so a refused or broken transaction never shapes the next
// recipient's outcome. The connection holds one of the host's slots.
#pragma once

#include <functional>
#include <string>

#include "delivery/ExchangerSlots.h"
#include "delivery/IdSMTP.h"
#include "platform/Failure.h"

class ExchangerSession {
 public:
  using StopCheck = std::function<bool()>;

  ExchangerSession(TIdSMTP& smtp, ExchangerSlots& slots, StopCheck stopping);
  ~ExchangerSession();
  ExchangerSession(const ExchangerSession&) = delete;
  ExchangerSession& operator=(const ExchangerSession&) = delete;

  // Hands copy (its body lines from bodySource) to host, over the kept
  // connection when it leads there, else over a new one. True when the
  // exchanger took it; otherwise status says why, as the log records it.
  bool Deliver(const std::string& host, const TIdMessage& copy, const TIdMessage& bodySource,
               std::string& status);
  // Says QUIT if connected (without waiting for the reply), closes, and
  // gives the host's slot back.
  void Close();

 private:
  // One transaction on the open connection; false, with status set and the
  // connection no longer kept, when it failed.
  bool Transact(const TIdMessage& copy, const TIdMessage& bodySource, std::string& status);
  // Whether the failure of a transaction on a kept connection came from the
  // session being over (closed by the exchanger, or a 421 reply) before any
  // of the text went out: that is no answer about this recipient.
  bool SessionWasUsedUp(const EFailure* failure) const;

  TIdSMTP& smtp_;
  ExchangerSlots& slots_;
  StopCheck stopping_;
  std::string host_;  // whose slot is held; empty when none
  bool kept_ = false;
  bool usedUp_ = false;  // the last failed transaction found the session over
};

// Longest wait for an exchanger's TCP connection to be established.
inline constexpr int kMxConnectTimeoutMs = 90000;
