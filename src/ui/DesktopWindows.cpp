#include "ui/DesktopWindows.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include "core/DummyForm.h"
#include "ui/PortChangeForm.h"
#include "ui/WatchForm.h"

namespace ui {

namespace {
// How long the partial-delivery notification stays up.
constexpr int kNoteMs = 15000;
}  // namespace

DesktopWindows::DesktopWindows(TDummyForm& controller, QObject* parent)
    : QObject(parent), controller_(controller), host_(controller), warnings_(host_) {
  connect(&controller_, &TDummyForm::showMainWindowRequested, this, [this] { ShowMainWindow(host_); });
  connect(&controller_, &TDummyForm::sendErrorsWarningRequested, this,
          [this] { warnings_.ShowSendErrorsWarning(); });
  connect(&controller_, &TDummyForm::dnsWarningRequested, this, [this] { warnings_.ShowDnsWarning(); });
  connect(&controller_, &TDummyForm::dnsWarningCloseRequested, this, [this] { warnings_.CloseDnsWarning(); });
  connect(&controller_, &TDummyForm::partialDeliveryNoted, this,
          [this](const QString& title, const QString& text) {
            if (QSystemTrayIcon* tray = controller_.TrayIcon())
              tray->showMessage(title, text, QSystemTrayIcon::Warning, kNoteMs);
          });
  // Windows of the other kinds (log viewer, configuration, About) connect here
  // the same way, one line each.
}

DesktopWindows::~DesktopWindows() {
  // The main window refers to the host that ends here.
  for (QWidget* window : QApplication::topLevelWidgets())
    if (qobject_cast<TWatchForm*>(window)) delete window;
}

void DesktopWindows::ShowPortInUse() { ShowPortChangeForm(host_); }

}  // namespace ui
