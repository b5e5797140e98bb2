// The outbound clients of one connection thread: an SMTP client and a DNS
// client for each delivery of a message that runs at once. The first pair
// lives as long as the thread and carries the settings; more pairs are made
// when a message needs them, take those settings before every message, and
// are kept for the thread's later messages. Closing reaches every pair, from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "delivery/IdSMTP.h"
#include "delivery/dns/IdDNSResolver.h"

class DeliveryClients {
 public:
  DeliveryClients();
  DeliveryClients(const DeliveryClients&) = delete;
  DeliveryClients& operator=(const DeliveryClients&) = delete;

  // The pair at index (below Count()); index 0 is the one whose settings
  // the others copy.
  TIdSMTP& SMTP(std::size_t index);
  TIdDNSResolver& Resolver(std::size_t index);
  std::size_t Count() const;

  // Owner only, while no delivery runs: makes at least count pairs and gives
  // every pair the first one's settings (TLS context included). A pair made
  // after CloseAll starts closed.
  void Reserve(std::size_t count);

  // Safe from any thread: a DNS wait or an SMTP read, write or connect in
  // progress on any pair fails at once, and so does every later query or
  // connection until ClearAborts.
  void CloseAll();
  // Owner only, as a delivery starts: lets every pair work again.
  void ClearAborts();

 private:
  struct Pair {
    TIdSMTP smtp;
    TIdDNSResolver resolver;
  };
  static void Close(Pair& pair);

  mutable std::mutex lock_;
  std::vector<std::unique_ptr<Pair>> pairs_;
  bool closed_ = false;
};
