#include "delivery/MySMTPThread.h"

TMySMTPThread::TMySMTPThread(std::unique_ptr<os::TcpStream> connection,
                             std::shared_ptr<RelayCounters> counters)
    : SmtpConnectionThread(std::move(connection)), active_(std::move(counters)) {
  SMTP().ReadTimeout = kSmtpReadTimeoutMs;
  DNSResolver().ReceiveTimeout = kDnsReceiveTimeoutMs;
}

TMySMTPThread::~TMySMTPThread() = default;

void TMySMTPThread::CloseClientSockets() { clients_.CloseAll(); }

void TMySMTPThread::ClearClientAborts() { clients_.ClearAborts(); }

void TMySMTPThread::Terminate() {
  SmtpConnectionThread::Terminate();
  CloseClientSockets();
}
