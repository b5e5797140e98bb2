#include "ui/WarningWindows.h"

#include "ui/SingleWindow.h"

namespace ui {

WarningWindows::WarningWindows(WindowHost& host, DnsWarningGate::Clock clock)
    : host_(host), dnsGate_(std::move(clock)) {}

WarningWindows::~WarningWindows() {
  // The windows refer to the host; they must not outlive this.
  delete sendErrors_.data();
  delete dns_.data();
}

TPort25ErrForm* WarningWindows::Show(QPointer<TPort25ErrForm>& reference, int helpTopic,
                                     const std::string& text) {
  return ShowSingleWindow(reference, [&] {
    auto* window = new TPort25ErrForm(host_);
    window->SetHelpTopic(helpTopic);
    window->SetWarningText(QString::fromLocal8Bit(text.c_str()));
    return window;
  });
}

void WarningWindows::ShowSendErrorsWarning() {
  Show(sendErrors_, kSendErrorsHelp, SendErrorsWarningText(host_.ProductName()));
}

void WarningWindows::ShowDnsWarning() {
  if (!dnsGate_.Accept()) return;
  Show(dns_, kDnsHelp, DnsWarningText(host_.ProductName()));
}

void WarningWindows::CloseDnsWarning() {
  if (dns_) dns_->close();
}

}  // namespace ui
