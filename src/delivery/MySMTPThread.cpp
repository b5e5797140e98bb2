#include "delivery/MySMTPThread.h"

TMySMTPThread::TMySMTPThread(std::unique_ptr<os::TcpStream> connection,
                             std::shared_ptr<RelayCounters> counters)
    : SmtpConnectionThread(std::move(connection)), counters_(std::move(counters)) {
  SMTP().ReadTimeout = kSmtpReadTimeoutMs;
  DNSResolver().ReceiveTimeout = kDnsReceiveTimeoutMs;
  ++counters_->ActiveThreadCount;
}

TMySMTPThread::~TMySMTPThread() { --counters_->ActiveThreadCount; }

void TMySMTPThread::CloseClientSockets() { clients_.CloseAll(); }

void TMySMTPThread::ClearClientAborts() { clients_.ClearAborts(); }

void TMySMTPThread::Terminate() {
  SmtpConnectionThread::Terminate();
  CloseClientSockets();
}
