#include "ui/ControllerHost.h"

#include "app/DummyForm.h"
#include "app/HelpFile.h"
#include "core/MailAccountSource.h"

namespace ui {

std::string ControllerHost::ProductName() const { return controller_.Product().ProductName; }
std::string ControllerHost::UserDnsServer() const { return controller_.UserDnsServer(); }
std::string ControllerHost::ListenPort() const { return controller_.ListenPort(); }
bool ControllerHost::LocalOnly() const { return controller_.LocalOnly(); }
void ControllerHost::SaveDNS(const std::string& server) { controller_.SaveDNS(server); }
void ControllerHost::SavePort(const std::string& port, bool localOnly) {
  controller_.SavePort(port, localOnly);
}

void ControllerHost::UpdateAccountPorts() {
  ::UpdateAccountPorts(UserMailAccountSources(controller_.Paths().AccountStoreFile()),
                       controller_.ListenPort());
}

int64_t ControllerHost::SentCount() const { return controller_.SentCount(); }
int64_t ControllerHost::FailedCount() const { return controller_.FailedCount(); }
void ControllerHost::ZeroSentCount() { controller_.ZeroSentCount(); }
void ControllerHost::ZeroFailedCount() { controller_.ZeroFailedCount(); }
int ControllerHost::ThreadLoad() const { return controller_.ThreadLoad(); }

QAction* ControllerHost::Action(HostAction which) const {
  const TDummyForm::MainActionList& actions = controller_.Actions();
  switch (which) {
    case HostAction::Open:
      return actions.Open;
    case HostAction::LogAction:
      return actions.LogAction;
    case HostAction::MailCfgAction:
      return actions.MailCfgAction;
    case HostAction::HomePage:
      return actions.HomePage;
    case HostAction::OtherProducts:
      return actions.OtherProducts;
    case HostAction::ContactUs:
      return actions.ContactUs;
    case HostAction::HelpAction:
      return actions.HelpAction;
    case HostAction::AboutProgram:
      return actions.AboutProgram;
    case HostAction::ExitAction:
      return actions.ExitAction;
  }
  return nullptr;
}

void ControllerHost::OpenHelp(int context) {
  if (controller_.Headless()) return;
  OpenHelpContext(controller_.Paths(), context);
}

}  // namespace ui
