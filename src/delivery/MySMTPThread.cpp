#include "delivery/MySMTPThread.h"

std::atomic<int32_t> ActiveThreadCount{0};

TMySMTPThread::TMySMTPThread(std::unique_ptr<net::TcpStream> connection)
    : SmtpConnectionThread(std::move(connection)),
      smtp_(std::make_unique<TIdSMTP>()),
      resolver_(std::make_unique<TIdDNSResolver>()) {
  smtp_->ReadTimeout = kSmtpReadTimeoutMs;
  resolver_->ReceiveTimeout = kDnsReceiveTimeoutMs;
  ++ActiveThreadCount;
}

TMySMTPThread::~TMySMTPThread() { --ActiveThreadCount; }

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

void TMySMTPThread::ClearClientAborts() {
  resolver_->ClearAbort();
  smtp_->ClearAbort();
}

void TMySMTPThread::Terminate() {
  SmtpConnectionThread::Terminate();
  CloseClientSockets();
}
