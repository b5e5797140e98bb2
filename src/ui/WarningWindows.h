// The two problem warnings on a desktop: at most one window of each kind,
// both kinds may be open at once. A warning that is open is brought to the
// front instead of opening again (its text is not renewed); the DNS warning
// comes back at most every seven seconds and closes itself once a message
// arrives while a DNS server is known.
#pragma once

#include <QPointer>

#include "log/ProblemWarnings.h"
#include "ui/Port25ErrForm.h"
#include "ui/WindowHost.h"

namespace ui {

class WarningWindows {
 public:
  static constexpr int kSendErrorsHelp = 1006;
  static constexpr int kDnsHelp = 1007;

  explicit WarningWindows(WindowHost& host, DnsWarningGate::Clock clock = {});
  ~WarningWindows();

  void ShowSendErrorsWarning();
  void ShowDnsWarning();
  void CloseDnsWarning();

  // The open windows, or null.
  TPort25ErrForm* SendErrorsWarningWindow() const { return sendErrors_.data(); }
  TPort25ErrForm* DnsWarningWindow() const { return dns_.data(); }

 private:
  TPort25ErrForm* Show(QPointer<TPort25ErrForm>& reference, int helpTopic, const std::string& text);

  WindowHost& host_;
  DnsWarningGate dnsGate_;
  QPointer<TPort25ErrForm> sendErrors_;
  QPointer<TPort25ErrForm> dns_;
};

}  // namespace ui
