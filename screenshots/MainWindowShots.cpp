// Pictures of the main window, the port dialogs, both warnings and the
// partial-delivery notification.
#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QSystemTrayIcon>

#include "app/AppIcons.h"
#include "app/DummyForm.h"
#include "log/ProblemWarnings.h"
#include "screenshots/Shots.h"
#include "ui/ControllerHost.h"
#include "ui/PortChangeForm.h"
#include "ui/Test25Form.h"
#include "ui/WarningWindows.h"
#include "ui/WatchForm.h"

namespace shots {
namespace {

// The controller with the figures of a while's use.
class BusyHost : public ui::ControllerHost {
 public:
  using ControllerHost::ControllerHost;
  int64_t SentCount() const override { return 1234; }
  int64_t FailedCount() const override { return 17; }
};

QPixmap MainWindow(Fixture& fixture) {
  BusyHost host(fixture.Controller());
  TWatchForm window(host);
  return GrabWindow(&window);
}

QPixmap PortInUse(Fixture& fixture) {
  ui::ControllerHost host(fixture.Controller());
  TPortChangeForm dialog(host);
  dialog.findChild<QRadioButton*>("RadioButton2")->setChecked(true);
  return GrabWindow(&dialog);
}

QPixmap PortTest(Fixture&) {
  // Aimed at a port nobody listens on; the picture is taken as it shows.
  TTest25Form dialog({"127.0.0.1", 9});
  dialog.show();
  Settle(100);
  return dialog.grab();
}

QPixmap Warning(Fixture& fixture, bool dns) {
  ui::ControllerHost host(fixture.Controller());
  ui::WarningWindows warnings(host);
  if (dns) {
    warnings.ShowDnsWarning();
    return GrabWindow(warnings.DnsWarningWindow());
  }
  warnings.ShowSendErrorsWarning();
  return GrabWindow(warnings.SendErrorsWarningWindow());
}

// The notification as the tray shows it where no notification service runs
// (Qt's own balloon beside the tray icon).
QPixmap PartialDelivery(Fixture&) {
  QSystemTrayIcon tray(MakeAppIcon(AppIcon::Tray));
  tray.show();
  Settle(800);
  const PartialDeliveryNote note =
      MakePartialDeliveryNote("Minutes of the meeting", 3, {"bob@example.org", "carol@example.net"});
  tray.showMessage(QString::fromStdString(note.title), QString::fromStdString(note.text),
                   QSystemTrayIcon::Warning, 10000);
  Settle(1200);
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible() && QString::fromLatin1(widget->metaObject()->className()) == "QBalloonTip")
      return widget->grab();
  return {};
}

const ShotRegistration kRows[] = {
    ShotRegistration({"main-window.png", MainWindow}),
    ShotRegistration({"port-in-use.png", PortInUse}),
    ShotRegistration({"port-test.png", PortTest}),
    ShotRegistration({"warning-send-errors.png", [](Fixture& f) { return Warning(f, false); }}),
    ShotRegistration({"warning-dns.png", [](Fixture& f) { return Warning(f, true); }}),
    ShotRegistration({"partial-delivery.png", PartialDelivery}),
};

}  // namespace
}  // namespace shots
