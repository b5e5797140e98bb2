// The controller in this process: its timers, the settings it stores, and
// an orderly exit in the middle of a delivery.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/AppTexts.h"
#include "app/DummyForm.h"
#include "app/HeadlessReporter.h"
#include "app/UserMessages.h"
#include "log/OperationLog.h"
#include "support/AppProcess.h"
#include "support/RelayHarness.h"
#include "support/TempFolder.h"
#include "support/WriteFailures.h"

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
  std::unique_ptr<TDummyForm> MakeController(const std::string& settings, bool headless = true) {
    TempFolder::Write(folder_.File("postwick.opt"), settings);
    TDummyForm::Environment env;
    env.paths = AppPaths(folder_.File("postwick"), folder_.Path());
    env.product.ProductName = "Postwick";
    env.headless = headless;
    env.findSystemDnsServer = [this] { return detected_; };
    env.trayAvailable = [this] { return trayAvailable_; };
    env.outboundSmtpPort = outboundPort_;
    env.logSaveIntervalMs = logSaveIntervalMs_;
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
  bool trayAvailable_ = true;
  int logSaveIntervalMs_ = 5000;
  std::vector<Message> messages_;
};

// Settings that make the listener take a port that was free a moment ago,
// followed by more lines.
std::string FreePortSettings(const std::string& more = "") {
  return "USERPORT=1\r\nPORT=" + std::to_string(FreeTcpPort()) + "\r\n" + more;
}

}  // namespace

TEST_F(ControllerTest, Timer4ServesABurstWithTheLastMessagesState) {
  auto controller = MakeController(FreePortSettings());
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
  auto controller = MakeController(FreePortSettings());
  int shown = 0;
  QObject::connect(controller.get(), &TDummyForm::dnsWarningRequested, [&] { ++shown; });
  ASSERT_TRUE(controller->FormCreate());
  EXPECT_EQ(controller->ActiveDnsServer(), "");

  SmtpSession session(controller->BoundPort());
  EXPECT_EQ(session.Send(SimpleMail({"ann@a.test"})), "550 Invalid recipient: ann@a.test");
  EXPECT_TRUE(ProcessEventsUntil([&] { return shown == 1; }, 3000));
}

TEST_F(ControllerTest, SettingsAtStartAndTheDnsChoice) {
  auto controller = MakeController(FreePortSettings("userdns=1\r\ndns=198.51.100.7\r\n"));
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
  auto controller = MakeController(FreePortSettings("FIREWALL=1\r\n"));
  ASSERT_TRUE(controller->FormCreate());
  const std::string port = controller->ListenPort();
  int changes = 0;
  QObject::connect(controller.get(), &TDummyForm::settingsChanged, [&] { ++changes; });
  const std::string restart = "You need to restart this SMTP server for the changes to come into force!";

  controller->SavePort(port, true);  // the same port
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
  auto controller = MakeController(FreePortSettings("USERDNS=1\r\nDNS=" + world.Dns().Address() + "\r\n"));
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
  auto controller = MakeController(FreePortSettings());
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

// Without a tray the program would be invisible: the user is told, and the
// icon appears once a tray does (a panel that starts after the program).
TEST_F(ControllerTest, WithoutATrayTheUserIsToldAndTheIconDocksLater) {
  trayAvailable_ = false;
  auto controller = MakeController(FreePortSettings(), /*headless=*/false);
  ASSERT_TRUE(controller->FormCreate());
  ASSERT_NE(controller->TrayIcon(), nullptr);
  EXPECT_TRUE(ProcessEventsUntil([&] { return !messages_.empty(); }, 1000));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, app_text::kNoTray);
  EXPECT_FALSE(controller->TrayIcon()->isVisible());

  trayAvailable_ = true;
  EXPECT_TRUE(ProcessEventsUntil([&] { return controller->TrayIcon()->isVisible(); }, 4000));
  EXPECT_EQ(messages_.size(), 1u) << "said once";
}

// StatusNotifierItem trays only report single clicks; and the tray menu is
// no window of its own, so it runs the shortcuts it shows.
TEST_F(ControllerTest, ASingleClickOpensAndTheOpenMenuRunsItsShortcuts) {
  auto controller = MakeController(FreePortSettings(), /*headless=*/false);
  ASSERT_TRUE(controller->FormCreate());
  int opened = 0, logViewers = 0;
  QObject::connect(controller.get(), &TDummyForm::showMainWindowRequested, [&] { ++opened; });
  QObject::connect(controller.get(), &TDummyForm::showLogViewerRequested, [&] { ++logViewers; });
  for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
    emit controller->TrayIcon()->activated(reason);
  }
  EXPECT_EQ(opened, 2);
  emit controller->TrayIcon()->activated(QSystemTrayIcon::Context);
  EXPECT_EQ(opened, 2) << "the right button only shows the menu";

  QMenu* menu = controller->TrayMenu();
  menu->popup(QPoint(10, 10));
  ASSERT_TRUE(ProcessEventsUntil([&] { return menu->isVisible(); }, 2000));
  QKeyEvent ctrlL(QEvent::KeyPress, Qt::Key_L, Qt::ControlModifier);
  QCoreApplication::sendEvent(menu, &ctrlL);
  EXPECT_EQ(logViewers, 1);
  EXPECT_TRUE(ProcessEventsUntil([&] { return !menu->isVisible(); }, 2000)) << "the menu closes";
}

// A save that fails (a full disk here) is said once, keeps the records and
// is tried again; after a save that works, a new failure is said again.
TEST_F(ControllerTest, AFailedLogSaveIsSaidOnceAndTriedAgain) {
  logSaveIntervalMs_ = 50;
  auto controller = MakeController(FreePortSettings());
  ASSERT_TRUE(controller->FormCreate());
  std::vector<std::string> said;
  QObject::connect(controller.get(), &TDummyForm::logSaveFailed,
                   [&](const QString& text) { said.push_back(text.toStdString()); });
  const std::string logFile = folder_.File("postwick.log");
  {
    FileSizeLimit full(8);
    log_.WriteLogRecord(false, true, "a@first.test", "First", "Unable to send");
    ProcessEventsFor(400);
  }
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find(logFile), std::string::npos) << said[0];
  EXPECT_TRUE(log_.Dirty());
  EXPECT_TRUE(
      ProcessEventsUntil([&] { return TempFolder::Read(logFile).find("First") != std::string::npos; }, 2000))
      << "the kept records are saved once the disk has room";

  {
    FileSizeLimit full(8);
    log_.WriteLogRecord(false, true, "b@second.test", "Second", "Unable to send");
    ProcessEventsFor(300);
  }
  EXPECT_EQ(said.size(), 2u);
}

// Headless, the program says where it listens and which DNS server it uses,
// and again whenever that server changes.
TEST_F(ControllerTest, HeadlessLinesForListeningAndEachNewDnsServer) {
  detected_ = "192.0.2.1";
  auto controller = MakeController(FreePortSettings("FIREWALL=0\r\n"));
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ReportOnStandardError(*controller, out);
  ASSERT_TRUE(controller->FormCreate());
  detected_ = "192.0.2.2";
  EXPECT_TRUE(ProcessEventsUntil([&] { return controller->ActiveDnsServer() == "192.0.2.2"; }, 4000));
  controller->SaveDNS("198.51.100.7");
  controller->SavePort(controller->ListenPort(), false);  // no DNS change: no line

  std::rewind(out);
  std::string text;
  for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) text += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(text, "Listening on port " + controller->ListenPort() +
                      ", accepting connections from any computer; DNS server: 192.0.2.1.\n"
                      "DNS server now in use: 192.0.2.2.\n"
                      "DNS server now in use: 198.51.100.7.\n");
}

TEST_F(ControllerTest, ABadPortIsRefusedAndAHugeSettingsFileIsReported) {
  auto controller = MakeController(FreePortSettings("FIREWALL=1\r\n" + std::string(2 * 1024 * 1024, 'x')));
  ASSERT_TRUE(controller->FormCreate());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].kind, UserMessages::Kind::Error);
  EXPECT_NE(messages_[0].text.find("too large"), std::string::npos) << messages_[0].text;

  messages_.clear();
  const std::string port = controller->ListenPort();
  controller->SavePort("70000", false);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].kind, UserMessages::Kind::Error);
  EXPECT_NE(messages_[0].text.find("\"70000\""), std::string::npos) << messages_[0].text;
  EXPECT_EQ(controller->ListenPort(), port);
  EXPECT_TRUE(controller->LocalOnly()) << "a refused store changes nothing";
}
