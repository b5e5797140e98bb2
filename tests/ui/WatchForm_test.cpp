// The main window driven by object name, offscreen: how it opens, the apply
// rules of both settings sections, the status refresh and its buttons.
#include "ui/WatchForm.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "FakeWindowHost.h"

using namespace testing_support;

namespace {

template <class W>
W* Child(QWidget* window, const char* name) {
  W* child = window->findChild<W*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

QString Shown(QWidget* window, const char* counter) {
  return Child<QLCDNumber>(window, counter)->accessibleName();
}

class WatchFormTest : public ::testing::Test {
 protected:
  // Opens the window as ShowMainWindow does.
  TWatchForm* Open() {
    window_ = ShowMainWindow(host_);
    return window_;
  }
  void TearDown() override {
    if (window_) window_->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  void Click(const char* name) { Child<QAbstractButton>(window_, name)->click(); }
  bool Enabled(const char* name) { return Child<QWidget>(window_, name)->isEnabled(); }
  bool Checked(const char* name) { return Child<QAbstractButton>(window_, name)->isChecked(); }
  QLineEdit* Field(const char* name) { return Child<QLineEdit>(window_, name); }

  FakeWindowHost host_;
  QPointer<TWatchForm> window_;
};

}  // namespace

TEST_F(WatchFormTest, OpensWithTheStoredSettingsAndBothApplyButtonsDisabled) {
  Open();
  EXPECT_EQ(window_->windowTitle(), "Postwick");
  EXPECT_TRUE(Checked("DNSAutodetect"));
  EXPECT_TRUE(Checked("PortStandard"));
  EXPECT_FALSE(Enabled("SpecificDNS"));
  EXPECT_FALSE(Enabled("SpecificPort"));
  EXPECT_EQ(Field("SpecificPort")->text(), "25");
  EXPECT_FALSE(Enabled("ApplyButton"));
  EXPECT_FALSE(Enabled("ApplyPort"));
  EXPECT_EQ(Shown(window_, "SentMessages"), "00000");
  EXPECT_EQ(Shown(window_, "SendingErrors"), "00000");
  window_->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  host_.userDns = "192.0.2.53";
  host_.listenPort = "2525";
  host_.localOnly = true;
  Open();
  EXPECT_TRUE(Checked("DNSSpecific"));
  EXPECT_EQ(Field("SpecificDNS")->text(), "192.0.2.53");
  EXPECT_TRUE(Enabled("SpecificDNS"));
  EXPECT_TRUE(Checked("PortSpecific"));
  EXPECT_EQ(Field("SpecificPort")->text(), "2525");
  EXPECT_TRUE(Enabled("SpecificPort"));
  EXPECT_TRUE(Checked("FireWall"));
  EXPECT_FALSE(Enabled("ApplyButton"));
  EXPECT_FALSE(Enabled("ApplyPort"));
}

TEST_F(WatchFormTest, OpeningAgainRaisesTheSameWindow) {
  TWatchForm* first = Open();
  EXPECT_EQ(ShowMainWindow(host_), first);
  first->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window_.isNull());
  EXPECT_NE(Open(), nullptr);
}

TEST_F(WatchFormTest, PortApplyStoresAnExplicit25AsTheStandardPortAndUpdatesAccounts) {
  Open();
  Click("PortSpecific");
  EXPECT_TRUE(Enabled("SpecificPort"));
  EXPECT_TRUE(Enabled("ApplyPort"));
  Field("SpecificPort")->setText("25");
  Click("ApplyPort");
  ASSERT_EQ(host_.savedPorts.size(), 1u);
  EXPECT_EQ(host_.savedPorts[0].first, "");
  EXPECT_EQ(host_.accountUpdates, 1);
  EXPECT_FALSE(Enabled("ApplyPort"));

  Field("SpecificPort")->setText("2525");
  EXPECT_TRUE(Enabled("ApplyPort"));
  Click("ApplyPort");
  EXPECT_EQ(host_.savedPorts.back().first, "2525");
  EXPECT_EQ(host_.accountUpdates, 2);  // after every apply, changed or not

  // Back to the standard port: the field shows 25 again and is disabled.
  Click("PortStandard");
  EXPECT_EQ(Field("SpecificPort")->text(), "25");
  EXPECT_FALSE(Enabled("SpecificPort"));
  EXPECT_TRUE(Enabled("ApplyPort"));
  Click("ApplyPort");
  EXPECT_EQ(host_.savedPorts.back().first, "");
}

TEST_F(WatchFormTest, PortFieldTakesDigitsOnly) {
  Open();
  Click("PortSpecific");
  QLineEdit* field = Field("SpecificPort");
  field->clear();
  for (const char* typed : {"2", "a", "5", "-", " ", "2", "5"}) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromLatin1(typed));
    QCoreApplication::sendEvent(field, &key);
  }
  EXPECT_EQ(field->text(), "2525");
}

TEST_F(WatchFormTest, LocalOnlyIsStoredWithThePortApplyOnly) {
  Open();
  Click("FireWall");
  EXPECT_TRUE(Enabled("ApplyPort"));
  EXPECT_TRUE(host_.savedPorts.empty());
  Click("ApplyPort");
  ASSERT_EQ(host_.savedPorts.size(), 1u);
  EXPECT_EQ(host_.savedPorts[0], std::make_pair(std::string(), true));
}

TEST_F(WatchFormTest, DnsApplyPassesTheFieldAsTypedOrNothingForAutodetect) {
  Open();
  Click("DNSSpecific");
  EXPECT_TRUE(Enabled("SpecificDNS"));
  EXPECT_TRUE(Enabled("ApplyButton"));
  Field("SpecificDNS")->setText(" 192.0.2.1 ");
  Click("ApplyButton");
  EXPECT_FALSE(Enabled("ApplyButton"));
  Click("DNSAutodetect");
  EXPECT_FALSE(Enabled("SpecificDNS"));
  EXPECT_EQ(Field("SpecificDNS")->text(), " 192.0.2.1 ");  // kept, only disabled
  Click("ApplyButton");
  EXPECT_EQ(host_.savedDns, (std::vector<std::string>{" 192.0.2.1 ", ""}));
}

TEST_F(WatchFormTest, RefreshShowsCountersLoadAndTheStoredPortWithin200Ms) {
  Open();
  host_.sent = 42;
  host_.failed = 100000;
  host_.threadLoad = 100;
  host_.listenPort = "2525";
  auto* tip = Child<QLabel>(window_, "TipLink");
  ASSERT_TRUE(ProcessEventsUntil([&] { return tip->text().contains("2525"); }, 300));
  EXPECT_EQ(tip->text(), "Use port 2525 in your email program along with localhost!");
  EXPECT_EQ(Shown(window_, "SentMessages"), "00042");
  EXPECT_EQ(Shown(window_, "SendingErrors"), "-----");
  EXPECT_EQ(Child<QProgressBar>(window_, "ThreadLoadProgress")->value(), 100);

  // Zero shows 00000 at once, and counting goes on from 0.
  Click("LMDSpeedButton3");
  EXPECT_EQ(host_.failed, 0);
  EXPECT_EQ(Shown(window_, "SendingErrors"), "00000");
  Click("LMDSpeedButton2");
  EXPECT_EQ(Shown(window_, "SentMessages"), "00000");
  host_.sent = 1;
  host_.threadLoad = 25;
  ASSERT_TRUE(ProcessEventsUntil([&] { return Shown(window_, "SentMessages") == "00001"; }, 300));
  EXPECT_EQ(Child<QProgressBar>(window_, "ThreadLoadProgress")->value(), 25);
}

TEST_F(WatchFormTest, ButtonsRunTheControllersActionsAndExitClosesTheWindowFirst) {
  Open();
  bool openWhenExitRan = true;
  QObject::connect(host_.Action(ui::HostAction::ExitAction), &QAction::triggered,
                   [this, &openWhenExitRan] { openWhenExitRan = window_ && window_->isVisible(); });
  for (const char* name : {"HelpButton", "OtherProductsButton", "LogButton", "ConfigButton", "ExitButton"})
    Click(name);
  using A = ui::HostAction;
  EXPECT_EQ(host_.triggered,
            (std::vector<int>{static_cast<int>(A::HelpAction), static_cast<int>(A::OtherProducts),
                              static_cast<int>(A::LogAction), static_cast<int>(A::MailCfgAction),
                              static_cast<int>(A::ExitAction)}));
  EXPECT_FALSE(openWhenExitRan);
}

TEST_F(WatchFormTest, HomeMenuListsTheActionsAndTheTipOpensHelp1001) {
  Open();
  QMenu* menu = Child<QToolButton>(window_, "HomePage")->menu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->objectName(), "HomeMenu");
  QStringList entries;
  for (QAction* action : menu->actions()) entries << (action->isSeparator() ? "-" : action->text());
  EXPECT_EQ(entries.join('|'), "Home Page|Other Products|-|Online Help|About Program|-|Contact Us");

  for (const char* name : {"TipLink", "TipImage"}) {
    QWidget* target = Child<QWidget>(window_, name);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), target->mapToGlobal(QPointF(2, 2)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
  }
  EXPECT_EQ(host_.helpOpened, (std::vector<int>{1001, 1001}));
}
