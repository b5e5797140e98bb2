// Loopback test support for the local SMTP listener: a recorder for
// received messages whose handler can be told to answer, throw or hold on,
// and a fixture that runs a listener on 127.0.0.1 with an ephemeral port.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "intake/LocalServer.h"
#include "support/SmtpWireClient.h"

namespace testing_support {

// One message as the received-message handler saw it.
struct ReceivedMail {
  std::vector<std::string> Headers;
  std::vector<std::string> Body;
  std::vector<std::string> Recipients;  // rendered envelope recipients
  std::string EnvelopeFrom;
};

// Records messages handed over by the dialog and answers as told. Shared
// by pointer so that handlers still running after a test's listener is
// gone find it alive.
class MailRecorder {
 public:
  enum class Behaviour { Accept, CustomError, Throw, HoldUntilReleased };

  void Set(Behaviour behaviour, const std::string& customError = "");
  // The received-message handler's work.
  void Receive(SmtpConnectionThread& sender, TIdMessage& msg, TIdEMailAddressList& rcpt,
               std::string& customError);

  std::vector<ReceivedMail> Mails() const;
  std::size_t Count() const;
  // Handlers now held back by HoldUntilReleased.
  int Holding() const { return holding_.load(); }
  // Lets every held handler return; later ones no longer wait.
  void Release();

 private:
  mutable std::mutex lock_;
  std::condition_variable released_;
  bool releasedFlag_ = false;
  Behaviour behaviour_ = Behaviour::Accept;
  std::string customError_;
  std::vector<ReceivedMail> mails_;
  std::atomic<int> holding_{0};
};

// A listener on 127.0.0.1 with an ephemeral port and a recorder behind it.
class ListenerFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Activates the listener as configured in server.
  void Start();
  uint16_t Port() const { return server.BoundPort(); }
  // A connected client that has read and checked the greeting.
  std::unique_ptr<SmtpWireClient> Greeted(const std::string& localIp = "");
  // HELO, MAIL FROM and one RCPT TO, each expected to succeed.
  void OpenTransaction(SmtpWireClient& client, const std::string& recipient = "<bob@example.org>");

  static constexpr const char* kGreeting = "220 Welcome to the Postwick\r\n";
  std::shared_ptr<MailRecorder> recorder = std::make_shared<MailRecorder>();
  LocalServer server;
};

}  // namespace testing_support
