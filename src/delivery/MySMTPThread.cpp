#include "delivery/MySMTPThread.h"

TMySMTPThread::TMySMTPThread(std::unique_ptr<os::TcpStream> connection,
                             std::shared_ptr<RelayCounters> counters)
    : SmtpConnectionThread(std::move(connection)),
      smtp_(std::make_unique<TIdSMTP>()),
      resolver_(std::make_unique<TIdDNSResolver>()),
      counters_(std::move(counters)) {
  smtp_->ReadTimeout = kSmtpReadTimeoutMs;
  resolver_->ReceiveTimeout = kDnsReceiveTimeoutMs;
  ++counters_->ActiveThreadCount;
}

TMySMTPThread::~TMySMTPThread() {
  // The clients go first: freeing a TLS session still calls into OpenSSL,
  // and once the count reaches zero the program may exit and OpenSSL's
  // cleanup at exit may run.
  smtp_.reset();
  resolver_.reset();
  --counters_->ActiveThreadCount;
}

void TMySMTPThread::CloseClientSockets() {
  try {
    resolver_->CloseSocket();
  } catch (...) {
  }
  try {
    smtp_->DisconnectSocket();
  } catch (...) {
  }
}

void TMySMTPThread::Terminate() {
  CloseClientSockets();
  SmtpConnectionThread::Terminate();
}
