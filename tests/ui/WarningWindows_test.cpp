// The problem warnings' windows: one per kind, both kinds at once, the DNS
// warning's seven-second rule and its closing, and the window's layout rule.
#include "ui/WarningWindows.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "FakeWindowHost.h"

using namespace testing_support;

namespace {

class WarningWindowsTest : public ::testing::Test {
 protected:
  WarningWindowsTest() : warnings_(host_, [this] { return std::chrono::milliseconds(nowMs_); }) {}
  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  static QString TextOf(TPort25ErrForm* window) { return window->findChild<QLabel*>("Label1")->text(); }
  static void Close(TPort25ErrForm* window) {
    window->findChild<QPushButton*>("Button1")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  FakeWindowHost host_;
  long long nowMs_ = 100000;
  ui::WarningWindows warnings_;
};

}  // namespace

TEST_F(WarningWindowsTest, SendErrorsWarningOpensOnceAndAgainAfterItWasClosed) {
  warnings_.ShowSendErrorsWarning();
  TPort25ErrForm* first = warnings_.SendErrorsWarningWindow();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  EXPECT_EQ(first->windowTitle(), "Postwick");
  EXPECT_EQ(TextOf(first).toStdString(), SendErrorsWarningText("Postwick"));
  EXPECT_EQ(first->HelpTopic(), 1006);

  // Another run of failures while it is open only raises it.
  warnings_.ShowSendErrorsWarning();
  EXPECT_EQ(warnings_.SendErrorsWarningWindow(), first);
  EXPECT_EQ(QApplication::topLevelWidgets().count(first), 1);

  Close(first);
  EXPECT_EQ(warnings_.SendErrorsWarningWindow(), nullptr);
  warnings_.ShowSendErrorsWarning();
  ASSERT_NE(warnings_.SendErrorsWarningWindow(), nullptr);
  Close(warnings_.SendErrorsWarningWindow());
}

TEST_F(WarningWindowsTest, DnsWarningComesBackAtMostEverySevenSecondsAndClosesItself) {
  warnings_.ShowDnsWarning();
  TPort25ErrForm* window = warnings_.DnsWarningWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->HelpTopic(), 1007);
  EXPECT_EQ(TextOf(window).toStdString(), DnsWarningText("Postwick"));

  // Closed by the user, then mail every two seconds without a DNS server:
  // the window returns only once seven seconds have passed.
  Close(window);
  for (int tick = 1; tick <= 3; ++tick) {
    nowMs_ += 2000;
    warnings_.ShowDnsWarning();
    EXPECT_EQ(warnings_.DnsWarningWindow(), nullptr) << tick * 2 << " s";
  }
  nowMs_ += 2000;
  warnings_.ShowDnsWarning();
  ASSERT_NE(warnings_.DnsWarningWindow(), nullptr);

  // Both kinds at once; a message with a DNS server closes only the DNS one.
  warnings_.ShowSendErrorsWarning();
  ASSERT_NE(warnings_.SendErrorsWarningWindow(), nullptr);
  warnings_.CloseDnsWarning();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(warnings_.DnsWarningWindow(), nullptr);
  ASSERT_NE(warnings_.SendErrorsWarningWindow(), nullptr);
  EXPECT_TRUE(warnings_.SendErrorsWarningWindow()->isVisible());
  warnings_.CloseDnsWarning();  // nothing open: nothing happens
  Close(warnings_.SendErrorsWarningWindow());
}

// A longer text makes the window taller; the buttons sit two thirds of a
// button height below the text; Help opens the window's topic.
TEST_F(WarningWindowsTest, WindowGrowsWithItsTextAndKeepsTheButtonGap) {
  int heights[2] = {0, 0};
  const QString texts[2] = {QStringLiteral("Short."),
                            QString(QStringLiteral("A long warning. ")).repeated(80)};
  for (int i = 0; i < 2; ++i) {
    TPort25ErrForm window(host_);
    window.SetWarningText(texts[i]);
    window.SetHelpTopic(1007);
    window.show();
    QCoreApplication::processEvents();
    auto* label = window.findChild<QLabel*>("Label1");
    auto* ok = window.findChild<QPushButton*>("Button1");
    auto* help = window.findChild<QPushButton*>("Button2");
    EXPECT_EQ(label->text(), texts[i]);
    EXPECT_EQ(ok->y() - (label->y() + label->height()), 2 * (ok->height() / 3)) << i;
    EXPECT_EQ(help->y(), ok->y());
    EXPECT_GE(label->height(), label->heightForWidth(label->width())) << "text cut off";
    help->click();
    heights[i] = window.height();
  }
  EXPECT_GT(heights[1], heights[0]);
  EXPECT_EQ(host_.helpOpened, (std::vector<int>{1007, 1007}));
}
