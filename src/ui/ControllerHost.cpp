#include "ui/ControllerHost.h"

#include "core/AccountPorts.h"
#include "core/DummyForm.h"
#include "core/HelpFile.h"
#include "core/MailAccountSource.h"
#include "delivery/DeliveryEngine.h"
#include "delivery/MySMTPThread.h"
#include "platform/AccountStore.h"

namespace ui {

std::string ControllerHost::ProductName() const { return controller_.Env().product.ProductName; }
std::string ControllerHost::UserDnsServer() const { return controller_.UserDnsServer; }
std::string ControllerHost::ListenPort() const { return controller_.ListenPort; }
bool ControllerHost::LocalOnly() const { return controller_.LocalOnly(); }
void ControllerHost::SaveDNS(const std::string& server) { controller_.SaveDNS(server); }
void ControllerHost::SavePort(const std::string& port, bool localOnly) {
  controller_.SavePort(port, localOnly);
}

void ControllerHost::UpdateAccountPorts() {
  ::UpdateAccountPorts(UserMailAccountSources(controller_.Env().paths.AccountStoreFile()),
                       controller_.ListenPort);
}

int64_t ControllerHost::SentCount() const { return ::SentCount.load(); }
int64_t ControllerHost::FailedCount() const { return ::FailedCount.load(); }
void ControllerHost::ZeroSentCount() { ::SentCount = 0; }
void ControllerHost::ZeroFailedCount() { ::FailedCount = 0; }
int ControllerHost::ActiveThreadCount() const { return ::ActiveThreadCount.load(); }
int ControllerHost::ListenQueue() const { return RelayServer::kListenQueue; }

QAction* ControllerHost::Action(HostAction which) const {
  switch (which) {
    case HostAction::Open:
      return controller_.Open;
    case HostAction::LogAction:
      return controller_.LogAction;
    case HostAction::MailCfgAction:
      return controller_.MailCfgAction;
    case HostAction::HomePage:
      return controller_.HomePage;
    case HostAction::OtherProducts:
      return controller_.OtherProducts;
    case HostAction::ContactUs:
      return controller_.ContactUs;
    case HostAction::HelpAction:
      return controller_.HelpAction;
    case HostAction::AboutProgram:
      return controller_.AboutProgram;
    case HostAction::ExitAction:
      return controller_.ExitAction;
  }
  return nullptr;
}

void ControllerHost::OpenHelp(int context) {
  if (controller_.Env().headless) return;
  OpenHelpContext(controller_.Env().paths, context);
}

}  // namespace ui
