// The port 25 test: tries one connection to a public mail exchanger's port
// 25 to find out whether the network lets outgoing SMTP through, which
// direct delivery needs. Shown modally; its result is OK (connected), No
// (failed) or Cancel (the user stopped it).
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "core/AppPaths.h"
#include "ui/PortProbe.h"

namespace Ui {
class TTest25Form;
}

// A public host that accepts SMTP on port 25 and is there year after year:
// Google's mail exchanger for gmail.com.
inline constexpr const char* kDefaultPortTestHost = "gmail-smtp-in.l.google.com";
// Settings key naming another target, "host" or "host:port" (tests aim the
// test at a loopback peer with it).
inline constexpr const char* kPortTestKey = "PORTTEST";

// The target for this program's files: the settings' PORTTEST, else the
// default host on port 25.
ui::ProbeTarget PortTestTarget(const AppPaths& paths);
// "host" or "host:port"; the default when the text is empty or the port is
// not a number from 1 to 65535.
ui::ProbeTarget ParsePortTestTarget(const std::string& text);

class TTest25Form : public QDialog {
  Q_OBJECT

 public:
  // The dialog's results (QDialog::exec and result()).
  enum Result { kCancel = QDialog::Rejected, kOk = QDialog::Accepted, kNo = 2 };
  static constexpr int kTimeoutMs = 10000;

  explicit TTest25Form(ui::ProbeTarget target, QWidget* parent = nullptr);
  ~TTest25Form() override;

  bool Cancelled() const { return cancelled_; }
  // Esc answers like the Cancel button.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void TimerTimer();
  void Button1Click();
  void Finished(ui::PortProbe::Outcome outcome);

  std::unique_ptr<Ui::TTest25Form> form_;
  ui::ProbeTarget target_;
  ui::PortProbe test_;
  QTimer timer_;
  bool cancelled_ = false;
  bool started_ = false;
};
