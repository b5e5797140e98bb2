// The controller in this process: its timers, the settings it stores, and
// an orderly exit in the middle of a delivery.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "app/DummyForm.h"
#include "app/UserMessages.h"
#include "log/OperationLog.h"
#include "support/RelayHarness.h"
#include "support/TempFolder.h"

using namespace testing_support;

namespace {

// Runs the event loop for a while, or until the condition holds.
bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void ProcessEventsFor(int ms) {
  ProcessEventsUntil([] { return false; }, ms);
}

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UserMessages::SetRecorder([this](UserMessages::Kind kind, const QString& text) {
      messages_.push_back({kind, text.toStdString()});
      return true;
    });
  }
  void TearDown() override { UserMessages::SetRecorder(nullptr); }

  // A controller whose files live in a temporary folder, listening on a
  // free port, with "system DNS" answering what detected_ holds.
  std::unique_ptr<TDummyForm> MakeController(const std::string& settings) {
    TempFolder::Write(folder_.File("postwick.opt"), settings);
    TDummyForm::Environment env;
    env.paths = AppPaths(folder_.File("postwick"), folder_.Path());
    env.product.ProductName = "Postwick";
    env.headless = true;
    env.findSystemDnsServer = [this] { return detected_; };
    env.outboundSmtpPort = outboundPort_;
    return std::make_unique<TDummyForm>(std::move(env), log_);
  }

  struct Message {
    UserMessages::Kind kind;
    std::string text;
  };
  TempFolder folder_;
  TOperationLog log_;
  std::string detected_ = "192.0.2.53";
  int outboundPort_ = 25;
  std::vector<Message> messages_;
};

const char* kFreePort = "USERPORT=1\r\nPORT=0\r\n";

}  // namespace

TEST_F(ControllerTest, Timer4ServesABurstWithTheLastMessagesState) {
  auto controller = MakeController(kFreePort);
  int shown = 0, closed = 0;
  QObject::connect(controller.get(), &TDummyForm::dnsWarningRequested, [&] { ++shown; });
  QObject::connect(controller.get(), &TDummyForm::dnsWarningCloseRequested, [&] { ++closed; });

  controller->ArmDnsWarningTimer(0);  // no DNS server known for the first message
  ProcessEventsFor(300);
  controller->ArmDnsWarningTimer(1);  // one known for the second, within the second
  ASSERT_TRUE(ProcessEventsUntil([&] { return shown + closed > 0; }, 2000));
  ProcessEventsFor(1200);
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(closed, 1);

  controller->ArmDnsWarningTimer(0);
  ASSERT_TRUE(ProcessEventsUntil([&] { return shown > 0; }, 2000));
  EXPECT_EQ(closed, 1);
}

TEST_F(ControllerTest, ReceivedMessageWithoutDnsServerAsksForTheWarning) {
  detected_ = "";
  auto controller = MakeController(kFreePort);
  int shown = 0;
  QObject::connect(controller.get(), &TDummyForm::dnsWarningRequested, [&] { ++shown; });
  ASSERT_TRUE(controller->FormCreate());
  EXPECT_EQ(controller->ActiveDnsServer(), "");

  SmtpSession session(controller->BoundPort());
  EXPECT_EQ(session.Send(SimpleMail({"ann@a.test"})), "550 Invalid recipient: ann@a.test");
  EXPECT_TRUE(ProcessEventsUntil([&] { return shown == 1; }, 3000));
}

TEST_F(ControllerTest, SettingsAtStartAndTheDnsChoice) {
  auto controller = MakeController("userdns=1\r\ndns=198.51.100.7\r\nUSERPORT=1\r\nPORT=0\r\n");
  ASSERT_TRUE(controller->FormCreate());
  EXPECT_EQ(controller->UserDnsServer(), "198.51.100.7");
  EXPECT_EQ(controller->ActiveDnsServer(), "198.51.100.7");
  EXPECT_TRUE(controller->LocalOnly()) << "no FIREWALL line: this computer only";
  int changes = 0;
  QObject::connect(controller.get(), &TDummyForm::settingsChanged, [&] { ++changes; });

  controller->SaveDNS("  203.0.113.9 ");
  EXPECT_EQ(controller->UserDnsServer(), "203.0.113.9");
  EXPECT_EQ(controller->ActiveDnsServer(), "203.0.113.9");
  EXPECT_EQ(changes, 1);
  controller->SaveDNS("203.0.113.9");
  EXPECT_EQ(changes, 1) << "the same server again changes nothing";

  controller->SaveDNS("");
  EXPECT_EQ(controller->UserDnsServer(), "");
  EXPECT_EQ(controller->ActiveDnsServer(), "192.0.2.53");
  EXPECT_EQ(changes, 2) << "one signal for the whole change";
  const std::string file = TempFolder::Read(folder_.File("postwick.opt"));
  EXPECT_NE(file.find("USERDNS=0\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("DNS=203.0.113.9\r\n"), std::string::npos) << file;
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ControllerTest, StoringThePortTellsTheUserWhatToDo) {
  auto controller = MakeController("USERPORT=1\r\nPORT=0\r\nFIREWALL=1\r\n");
  ASSERT_TRUE(controller->FormCreate());
  int changes = 0;
  QObject::connect(controller.get(), &TDummyForm::settingsChanged, [&] { ++changes; });
  const std::string restart = "You need to restart this SMTP server for the changes to come into force!";

  controller->SavePort("0", true);  // the same port
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, restart);
  EXPECT_EQ(changes, 0);

  messages_.clear();
  controller->SavePort("2525", false);
  EXPECT_EQ(controller->ListenPort(), "2525");
  EXPECT_FALSE(controller->LocalOnly());
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_[0].kind, UserMessages::Kind::Information);
  EXPECT_EQ(messages_[0].text,
            "You selected a non-standard port 2525 for this SMTP server! It means that you\r\n"
            "need to use the port 2525 in settings of your e-mail program along with localhost!");
  EXPECT_EQ(messages_[1].text, restart);

  messages_.clear();
  controller->SavePort("", true);
  EXPECT_EQ(controller->ListenPort(), "25");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, restart);
}

TEST_F(ControllerTest, ExitDuringADeliveryEndsSoonAndSavesTheLog) {
  RelayHarness world(1);
  world.Dns().AddMx("slow.test", {{10, "127.0.0.2"}});
  FakeSmtpRule slowData = FakeSmtpRule::Answer(".", {"250 Taken"});
  slowData.delay = std::chrono::seconds(30);
  world.Exchanger(0).SetScript({{slowData}});

  outboundPort_ = world.ExchangerPort();
  auto controller =
      MakeController("USERPORT=1\r\nPORT=0\r\nUSERDNS=1\r\nDNS=" + world.Dns().Address() + "\r\n");
  ASSERT_TRUE(controller->FormCreate());
  bool closed = false;
  QObject::connect(controller.get(), &TDummyForm::closed, [&] { closed = true; });

  std::thread client([port = controller->BoundPort()] {
    SmtpSession session(port);
    session.Send(SimpleMail({"one@slow.test", "two@slow.test", "three@slow.test", "four@slow.test"}));
  });
  // Three copies go to the exchanger at once; the fourth waits for one of
  // them to finish.
  ASSERT_TRUE(ProcessEventsUntil([&] { return world.Exchanger(0).SessionCount() == 3; }, 5000));
  QElapsedTimer clock;
  clock.start();
  controller->RequestExit();
  EXPECT_TRUE(ProcessEventsUntil([&] { return closed; }, 6000));
  EXPECT_LT(clock.elapsed(), 5500);
  client.join();

  const std::string log = TempFolder::Read(folder_.File("postwick.log"));
  for (const char* inFlight : {"one", "two", "three"}) {
    const std::string record = std::string("0 ") + inFlight + "@slow.test\tHello\tConnection failed\t";
    EXPECT_NE(log.find(record), std::string::npos) << log;
  }
  EXPECT_EQ(log.find("four@slow.test"), std::string::npos) << log;
}

TEST_F(ControllerTest, DetectionRepeatsOnlyWhileNoUserServerIsSet) {
  detected_ = "";
  auto controller = MakeController(kFreePort);
  ASSERT_TRUE(controller->FormCreate());
  EXPECT_EQ(controller->ActiveDnsServer(), "");
  int changes = 0;
  QObject::connect(controller.get(), &TDummyForm::settingsChanged, [&] { ++changes; });
  ProcessEventsFor(2500);
  EXPECT_EQ(changes, 0) << "a detection that finds the same server changes nothing";
  detected_ = "192.0.2.1";  // the network came up
  EXPECT_TRUE(ProcessEventsUntil([&] { return controller->ActiveDnsServer() == "192.0.2.1"; }, 3000));
  EXPECT_EQ(changes, 1);

  controller->SaveDNS("198.51.100.2");
  detected_ = "192.0.2.99";
  ProcessEventsFor(2500);
  EXPECT_EQ(controller->ActiveDnsServer(), "198.51.100.2");
  EXPECT_EQ(controller->DetectedDnsServer(), "192.0.2.1")
      << "no detection runs while the user's server is set";
}
