#include "ui/DesktopWindows.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include "app/DummyForm.h"
#include "core/MailAccountSource.h"
#include "log/OperationLog.h"
#include "ui/AboutBox.h"
#include "ui/LogViewer.h"
#include "ui/MailCfgForm.h"
#include "ui/PortChangeForm.h"
#include "ui/Test25Form.h"
#include "ui/WatchForm.h"

namespace ui {

namespace {
// How long the partial-delivery notification stays up.
constexpr int kNoteMs = 15000;
}  // namespace

DesktopWindows::DesktopWindows(TDummyForm& controller, TOperationLog& log, QObject* parent)
    : QObject(parent), controller_(controller), log_(log), host_(controller), warnings_(host_) {
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
  connect(&controller_, &TDummyForm::showLogViewerRequested, this, [this] { ShowLogViewer(log_, host_); });
  connect(&controller_, &TDummyForm::showMailCfgRequested, this, [this] {
    const AppPaths& paths = controller_.Paths();
    ShowMailCfgForm(
        host_, [&] { return UserMailAccountSources(paths.AccountStoreFile()); }, PortTestTarget(paths));
  });
  connect(&controller_, &TDummyForm::showAboutRequested, this,
          [this] { ShowAboutBox(controller_.Product()); });
}

DesktopWindows::~DesktopWindows() {
  // The main window, the log viewer and the configuration window refer to
  // the host that ends here.
  for (QWidget* window : QApplication::topLevelWidgets())
    if (qobject_cast<TWatchForm*>(window) || qobject_cast<TLogViewer*>(window) ||
        qobject_cast<TMailCfgForm*>(window))
      delete window;
}

void DesktopWindows::ShowPortInUse() { ShowPortChangeForm(host_); }

}  // namespace ui
