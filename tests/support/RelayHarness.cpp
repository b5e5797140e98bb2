#include "support/RelayHarness.h"

#include "platform/Failure.h"
#include "support/SmtpWireClient.h"

namespace testing_support {

RelayHarness::RelayHarness(int exchangers, FakeSmtpScript script) {
  for (int i = 0; i < exchangers; ++i) {
    const std::string ip = "127.0.0." + std::to_string(2 + i);
    const uint16_t port = exchangers_.empty() ? 0 : exchangers_.front()->Port();
    exchangers_.push_back(std::make_unique<FakeSmtpServer>(ip, script, port));
  }
  if (!exchangers_.empty()) relay_.SetOutboundPort(exchangers_.front()->Port());
  relay_.SetActiveDnsServer(dns_.Address());
  relay_.SetLocalOnly(true);
  relay_.Start("Postwick", 0, "127.0.0.1");
  relayPort_ = relay_.Listener().BoundPort();
}

RelayHarness::~RelayHarness() { relay_.Shutdown(); }

MailToSend SimpleMail(const std::vector<std::string>& recipients, const std::string& subject) {
  MailToSend mail;
  mail.rcptTo = recipients;
  std::string to;
  for (const auto& r : recipients) to += (to.empty() ? "" : ", ") + r;
  mail.lines = {"From: Sender <sender@home.test>", "To: " + to, "Subject: " + subject, "", "Hello there."};
  return mail;
}

SmtpSession::SmtpSession(uint16_t port) : client_(std::make_unique<SmtpWireClient>(port)) {
  client_->ReadLine();  // greeting
  Exchange("HELO client.test");
}

SmtpSession::~SmtpSession() = default;

std::string SmtpSession::Send(const MailToSend& mail) {
  Exchange("MAIL FROM:<" + mail.mailFrom + ">");
  for (const auto& rcpt : mail.rcptTo) Exchange("RCPT TO:<" + rcpt + ">");
  Exchange("DATA");
  std::string text;
  for (const auto& line : mail.lines) text += (line.rfind('.', 0) == 0 ? "." : "") + line + "\r\n";
  client_->SendRaw(text + ".\r\n");
  try {
    return client_->ReadLine(60000);
  } catch (const EConnectionClosed&) {
    return "";
  } catch (const ESocketError&) {
    return "";
  }
}

void SmtpSession::Quit() { Exchange("QUIT"); }

std::string SmtpSession::Exchange(const std::string& line) {
  client_->Send(line);
  return client_->ReadLine();
}

}  // namespace testing_support
