#include "delivery/DeliveryClients.h"

DeliveryClients::DeliveryClients() { pairs_.push_back(std::make_unique<Pair>()); }

TIdSMTP& DeliveryClients::SMTP(std::size_t index) {
  std::lock_guard lock(lock_);
  return pairs_.at(index)->smtp;
}

TIdDNSResolver& DeliveryClients::Resolver(std::size_t index) {
  std::lock_guard lock(lock_);
  return pairs_.at(index)->resolver;
}

std::size_t DeliveryClients::Count() const {
  std::lock_guard lock(lock_);
  return pairs_.size();
}

void DeliveryClients::Reserve(std::size_t count) {
  std::lock_guard lock(lock_);
  while (pairs_.size() < count) {
    auto pair = std::make_unique<Pair>();
    // A close that came before this pair existed still holds for it.
    if (closed_) Close(*pair);
    pairs_.push_back(std::move(pair));
  }
  // Every pair takes the first one's settings as they are now, so a setting
  // changed after a pair was made still reaches it.
  const Pair& model = *pairs_.front();
  for (std::size_t i = 1; i < pairs_.size(); ++i) {
    Pair& pair = *pairs_[i];
    pair.smtp.Port = model.smtp.Port;
    pair.smtp.ReadTimeout = model.smtp.ReadTimeout;
    pair.smtp.UseEhlo = model.smtp.UseEhlo;
    pair.smtp.HeloName = model.smtp.HeloName;
    pair.smtp.Writer = model.smtp.Writer;
    pair.smtp.Tls = model.smtp.Tls;
    pair.resolver.Port = model.resolver.Port;
    pair.resolver.ReceiveTimeout = model.resolver.ReceiveTimeout;
    pair.resolver.BufferSize = model.resolver.BufferSize;
    pair.resolver.AllowRecursiveQueries = model.resolver.AllowRecursiveQueries;
  }
}

void DeliveryClients::CloseAll() {
  std::lock_guard lock(lock_);
  closed_ = true;
  for (auto& pair : pairs_) Close(*pair);
}

void DeliveryClients::ClearAborts() {
  std::lock_guard lock(lock_);
  closed_ = false;
  for (auto& pair : pairs_) {
    pair->resolver.ClearAbort();
    pair->smtp.ClearAbort();
  }
}

void DeliveryClients::Close(Pair& pair) {
  try {
    pair.resolver.CloseSocket();
  } catch (...) {
  }
  try {
    pair.smtp.DisconnectSocket();
  } catch (...) {
  }
}
