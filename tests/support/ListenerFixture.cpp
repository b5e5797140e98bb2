#include "support/ListenerFixture.h"

#include <chrono>

#include "platform/Failure.h"
#include "support/Timing.h"

namespace testing_support {

void MailRecorder::Set(Behaviour behaviour, const std::string& customError) {
  std::lock_guard lock(lock_);
  behaviour_ = behaviour;
  customError_ = customError;
}

void MailRecorder::Receive(SmtpConnectionThread& sender, TIdMessage& msg, TIdEMailAddressList& rcpt,
                           std::string& customError) {
  ReceivedMail mail{msg.Headers.Lines.ToVector(), msg.Body.ToVector(), {}, sender.EnvelopeFrom};
  for (const auto& item : rcpt) mail.Recipients.push_back(item.GetText());
  std::unique_lock lock(lock_);
  mails_.push_back(std::move(mail));
  switch (behaviour_) {
    case Behaviour::Accept:
      return;
    case Behaviour::CustomError:
      customError = customError_;
      return;
    case Behaviour::Throw:
      customError = "550 never sent";
      throw EFailure("delivery failed");
    case Behaviour::HoldUntilReleased:
      ++holding_;
      released_.wait_for(lock, std::chrono::seconds(30), [this] { return releasedFlag_; });
      --holding_;
      return;
  }
}

void MailRecorder::Release() {
  {
    std::lock_guard lock(lock_);
    releasedFlag_ = true;
  }
  released_.notify_all();
}

std::vector<ReceivedMail> MailRecorder::Mails() const {
  std::lock_guard lock(lock_);
  return mails_;
}

std::size_t MailRecorder::Count() const {
  std::lock_guard lock(lock_);
  return mails_.size();
}

void ListenerFixture::SetUp() {
  server.Bindings = {{"127.0.0.1", 0}};
  server.Greeting.Text = {"Welcome to the Postwick"};
}

void ListenerFixture::TearDown() {
  recorder->Release();
  server.SetActive(false);
  // Every connection thread of the test has ended and freed itself.
  EXPECT_TRUE(Eventually([] { return SmtpConnectionThread::LiveCount() == 0; }))
      << SmtpConnectionThread::LiveCount() << " connection threads left behind";
}

void ListenerFixture::Start() {
  if (!server.OnReceiveMessage) {
    server.OnReceiveMessage = [recorder = recorder](SmtpConnectionThread& sender, TIdMessage& msg,
                                                    TIdEMailAddressList& rcpt, std::string& customError) {
      recorder->Receive(sender, msg, rcpt, customError);
    };
  }
  server.SetActive(true);
}

std::unique_ptr<SmtpWireClient> ListenerFixture::Greeted(const std::string& localIp) {
  auto client = std::make_unique<SmtpWireClient>(Port(), localIp);
  EXPECT_EQ(client->ReadRawLine(), kGreeting);
  return client;
}

void ListenerFixture::OpenTransaction(SmtpWireClient& client, const std::string& recipient) {
  ASSERT_EQ(client.Command("HELO client"), "250 Hello client\r\n");
  ASSERT_EQ(client.Command("MAIL FROM:<alice@example.com>"), "250 alice@example.com Address Okay\r\n");
  ASSERT_EQ(client.Command("RCPT TO:" + recipient).substr(0, 4), "250 ");
}

}  // namespace testing_support
