// The port 25 test dialog against loopback peers: one that accepts, one that
// refuses, one that never answers (Cancel and Esc end it at once).
#include "ui/Test25Form.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPushButton>

#include "platform/TcpListener.h"
#include "support/FakeSmtpServer.h"

using testing_support::BacklogFullListener;

namespace {

void ProcessEventsFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Collects the dialog's result once it finishes; -1 until then.
struct Outcome {
  explicit Outcome(TTest25Form& dialog) {
    QObject::connect(&dialog, &QDialog::finished, [this](int value) { result = value; });
  }
  // Waits at most limitMs for the result.
  int Wait(int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (result < 0 && clock.elapsed() < limitMs)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return result;
  }
  int result = -1;
};

uint16_t ClosedPort() {
  os::TcpListener listener;
  listener.Listen("127.0.0.1", 0, 1);
  const uint16_t port = listener.Port();
  listener.Close();
  return port;
}

}  // namespace

TEST(Test25FormTest, ConnectedGivesOkAndRefusedGivesNo) {
  os::TcpListener accepting;
  accepting.Listen("127.0.0.1", 0, 4);
  const struct {
    const char* name;
    uint16_t port;
    int result;
  } cases[] = {
      {"accepting peer", accepting.Port(), TTest25Form::kOk},
      {"refusing port", ClosedPort(), TTest25Form::kNo},
  };
  for (const auto& c : cases) {
    TTest25Form dialog({"127.0.0.1", c.port});
    EXPECT_EQ(dialog.windowTitle(), "Port 25 Test");
    Outcome outcome(dialog);
    dialog.open();
    EXPECT_EQ(outcome.Wait(5000), c.result) << c.name;
    EXPECT_FALSE(dialog.Cancelled()) << c.name;
  }
}

// A peer whose accept queue is full never completes the connection: Cancel
// (the button, or Esc) must end the dialog at once with Cancel, and the
// attempt that ends later must not change that result.
TEST(Test25FormTest, CancelDuringAPendingAttemptEndsAtOnce) {
  BacklogFullListener silent;
  for (const bool useEscape : {false, true}) {
    TTest25Form dialog({"127.0.0.1", silent.Port()});
    Outcome outcome(dialog);
    dialog.open();
    ProcessEventsFor(600);  // painted, and the attempt is under way
    ASSERT_EQ(outcome.result, -1) << "the attempt ended on its own";
    QElapsedTimer sinceCancel;
    sinceCancel.start();
    if (useEscape) {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(&dialog, &escape);
    } else {
      dialog.findChild<QPushButton*>("Button1")->click();
    }
    EXPECT_EQ(outcome.Wait(1000), TTest25Form::kCancel) << (useEscape ? "Esc" : "Cancel");
    EXPECT_LT(sinceCancel.elapsed(), 200);
    EXPECT_TRUE(dialog.Cancelled());
    ProcessEventsFor(200);
    EXPECT_EQ(dialog.result(), TTest25Form::kCancel);
  }
}

TEST(Test25FormTest, TargetComesFromTheSettingsKeyOrIsThePublicDefault) {
  const struct {
    const char* text;
    const char* host;
    uint16_t port;
  } cases[] = {
      {"", kDefaultPortTestHost, 25},
      {"127.0.0.1:2525", "127.0.0.1", 2525},
      {"mx.example.org", "mx.example.org", 25},
      {"127.0.0.1:0", kDefaultPortTestHost, 25},
      {"127.0.0.1:65536", kDefaultPortTestHost, 25},
      {"127.0.0.1:x", kDefaultPortTestHost, 25},
  };
  for (const auto& c : cases) {
    const ui::ProbeTarget target = ParsePortTestTarget(c.text);
    EXPECT_EQ(target.host, c.host) << c.text;
    EXPECT_EQ(target.port, c.port) << c.text;
  }
}
