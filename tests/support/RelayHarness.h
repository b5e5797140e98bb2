// A whole relay on loopback for system tests and benchmarks: the relay on
// 127.0.0.1, a scriptable DNS server, and fake mail exchangers on 127.0.0.2,
// 127.0.0.3, ... that share one port, which the relay uses for outbound SMTP
// as real exchangers share port 25.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "delivery/RelayServer.h"
#include "log/OperationLog.h"
#include "support/FakeDnsServer.h"
#include "support/FakeSmtpServer.h"

namespace testing_support {

class RelayHarness {
 public:
  // exchangers: how many fake MX hosts, on 127.0.0.2 upwards.
  explicit RelayHarness(int exchangers = 3, FakeSmtpScript script = {});
  ~RelayHarness();

  FakeDnsServer& Dns() { return dns_; }
  FakeSmtpServer& Exchanger(int index) { return *exchangers_.at(index); }
  RelayServer& Relay() { return relay_; }
  TOperationLog& Log() { return log_; }
  uint16_t RelayPort() const { return relayPort_; }
  uint16_t ExchangerPort() const { return exchangers_.front()->Port(); }

 private:
  FakeDnsServer dns_;
  std::vector<std::unique_ptr<FakeSmtpServer>> exchangers_;
  TOperationLog log_;
  RelayServer relay_{log_};
  uint16_t relayPort_ = 0;
};

// One message as a mail program sends it.
struct MailToSend {
  std::string mailFrom = "sender@home.test";
  std::vector<std::string> rcptTo;
  std::vector<std::string> lines;  // header lines, an empty line, body lines
};

// A simple message: From, To (the recipients), Subject, a one-line body.
MailToSend SimpleMail(const std::vector<std::string>& recipients, const std::string& subject = "Hello");

// Sends one message in an open SMTP session (after HELO) and returns the
// reply to the end of the text, or "" when the server closed the connection
// instead of replying.
class SmtpSession {
 public:
  explicit SmtpSession(uint16_t port);
  ~SmtpSession();
  std::string Send(const MailToSend& mail);
  void Quit();

 private:
  // Sends a command line and reads its one-line reply; a reply that does not
  // come throws, so a session never reads the wrong reply to a command.
  std::string Exchange(const std::string& line);

  std::unique_ptr<class SmtpWireClient> client_;
};

}  // namespace testing_support
