#include "core/DummyForm.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>
#include <cstdio>

#include "core/AppIcons.h"
#include "core/HelpFile.h"
#include "core/MailAccountSource.h"
#include "core/Settings.h"
#include "core/UserMessages.h"
#include "delivery/DeliveryEngine.h"
#include "delivery/MySMTPThread.h"
#include "delivery/SystemDnsServer.h"
#include "intake/LocalServer.h"
#include "log/OperationLog.h"
#include "log/ProblemWarnings.h"
#include "platform/AccountStore.h"

namespace {

constexpr int kStandardPort = 25;
constexpr int kLogSaveIntervalMs = 5000;

QString Text(const std::string& s) { return QString::fromLocal8Bit(s.c_str()); }

// The listening port: ListenPort when it is a whole number, else 25.
int PortNumber(const std::string& listenPort) {
  bool ok = false;
  const int port = QString::fromStdString(listenPort).toInt(&ok);
  return ok ? port : kStandardPort;
}

void SetUpOneShot(QTimer& timer, int intervalMs) {
  timer.setInterval(intervalMs);
  timer.setSingleShot(true);
}

}  // namespace

void ArmTimer(QTimer& timer) {
  if (!timer.isActive()) timer.start();
}

TDummyForm::TDummyForm(Environment environment, QObject* parent)
    : QObject(parent), env_(std::move(environment)) {
  setObjectName(QStringLiteral("Dummy Form"));
  if (!env_.findSystemDnsServer) env_.findSystemDnsServer = [] { return FindSystemDnsServer(); };
  SetUpOneShot(Timer1, 200);
  SetUpOneShot(Timer, 200);
  SetUpOneShot(Timer2, 2000);
  SetUpOneShot(Timer3, 1000);
  SetUpOneShot(Timer4, 1000);
  SetUpOneShot(Timer5, 100);
  LogSaveTimer.setInterval(kLogSaveIntervalMs);
  connect(&Timer1, &QTimer::timeout, this, [this] { ArmTimer(Timer); });
  connect(&Timer, &QTimer::timeout, this, [this] {
    if (!env_.openAtStart) return;
    env_.openAtStart = false;
    Open->trigger();
  });
  connect(&Timer2, &QTimer::timeout, this, &TDummyForm::Timer2Timer);
  connect(&Timer3, &QTimer::timeout, this, &TDummyForm::sendErrorsWarningRequested);
  connect(&Timer4, &QTimer::timeout, this, &TDummyForm::Timer4Timer);
  connect(&Timer5, &QTimer::timeout, this, &TDummyForm::FormClose);
  connect(&LogSaveTimer, &QTimer::timeout, this,
          [this] { OperationLog().SaveIfDirty(env_.paths.LogFile()); });

  CreateActions();
  if (!env_.headless) CreateTray();

  relay_.SetDnsWarningHook([this](int tag) { ArmDnsWarningTimer(tag); });
  relay_.SetPartialDeliveryHook([this](const DeliveryReport& report) {
    const PartialDeliveryNote note = MakePartialDeliveryNote(report.subject, report.delivered, report.failed);
    QMetaObject::invokeMethod(
        this,
        [this, title = Text(note.title), text = Text(note.text)] { emit partialDeliveryNoted(title, text); },
        Qt::QueuedConnection);
  });
  OperationLog().SetSendErrorsHook([this] { ScheduleSendErrorsWarning(); });
}

TDummyForm::~TDummyForm() {
  OperationLog().SetSendErrorsHook(nullptr);
  relay_.SetDnsWarningHook(nullptr);
  relay_.SetPartialDeliveryHook(nullptr);
  if (!closing_) FormClose();
}

void TDummyForm::CreateActions() {
  struct Row {
    QAction*& action;
    const char* caption;
    QKeySequence shortcut;
    AppIcon icon;
    std::function<void()> effect;
  };
  const Row rows[] = {
      {Open, "Open", QKeySequence(Qt::CTRL | Qt::Key_O), AppIcon::Open,
       [this] { emit showMainWindowRequested(); }},
      {LogAction, "View Log", QKeySequence(Qt::CTRL | Qt::Key_L), AppIcon::Log,
       [this] { emit showLogViewerRequested(); }},
      {MailCfgAction, "Configure", QKeySequence(Qt::CTRL | Qt::Key_F), AppIcon::Configure,
       [this] { emit showMailCfgRequested(); }},
      {HomePage, "Home Page", QKeySequence(Qt::CTRL | Qt::Key_H), AppIcon::HomePage,
       [this] { OpenUrl(env_.product.ProgPage); }},
      {OtherProducts, "Other Products", QKeySequence(Qt::CTRL | Qt::Key_P), AppIcon::OtherProducts,
       [this] { OpenUrl(env_.product.HomePage); }},
      {ContactUs, "Contact Us", QKeySequence(Qt::CTRL | Qt::Key_U), AppIcon::ContactUs,
       [this] {
         const std::string& email = env_.product.Email;
         OpenUrl(email.find('@') != std::string::npos ? "mailto:" + email : email);
       }},
      {HelpAction, "Online Help", QKeySequence(Qt::CTRL | Qt::Key_F1), AppIcon::Help,
       [this] { OpenHelpContents(env_.paths); }},
      {AboutProgram, "About Program", QKeySequence(Qt::CTRL | Qt::Key_A), AppIcon::About,
       [this] { emit showAboutRequested(); }},
      {ExitAction, "Exit", QKeySequence(Qt::ALT | Qt::Key_X), AppIcon::Exit, [this] { ArmTimer(Timer5); }},
  };
  for (const Row& row : rows) {
    row.action = new QAction(QString::fromLatin1(row.caption), this);
    if (!env_.headless) {
      row.action->setShortcut(row.shortcut);
      row.action->setShortcutVisibleInContextMenu(true);
      row.action->setIcon(MakeAppIcon(row.icon));
    }
    connect(row.action, &QAction::triggered, this, row.effect);
  }
}

void TDummyForm::CreateTray() {
  trayMenu_ = new QMenu();
  trayMenu_->setObjectName(QStringLiteral("TryIconMenu"));
  trayMenu_->addAction(Open);
  trayMenu_->addSeparator();
  trayMenu_->addAction(LogAction);
  trayMenu_->addAction(MailCfgAction);
  trayMenu_->addSeparator();
  trayMenu_->addAction(HomePage);
  trayMenu_->addAction(ContactUs);
  trayMenu_->addSeparator();
  trayMenu_->addAction(HelpAction);
  trayMenu_->addAction(AboutProgram);
  trayMenu_->addSeparator();
  trayMenu_->addAction(ExitAction);
  connect(this, &QObject::destroyed, trayMenu_, &QObject::deleteLater);

  trayIcon_ = new QSystemTrayIcon(MakeAppIcon(AppIcon::Tray), this);
  trayIcon_->setObjectName(QStringLiteral("TrayIcon"));
  trayIcon_->setContextMenu(trayMenu_);
  connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) Open->trigger();
  });
}

bool TDummyForm::FormCreate() {
  const StoredSettings settings = ReadSettings(env_.paths.SettingsFile());
  UserDnsServer = settings.UserDnsServer;
  ListenPort = settings.ListenPort;
  relay_.SetLocalOnly(settings.LocalOnly);
  bool listening = true;
  try {
    relay_.Start(env_.product.ProductName, PortNumber(ListenPort));
  } catch (const std::exception& failure) {
    ReportListenFailure(failure);
    listening = false;
  }
  if (!UserDnsServer.empty()) {
    relay_.SetActiveDnsServer(UserDnsServer);
  } else {
    AutodetectDnsServer();
  }
  StartTimers();
  if (trayIcon_) {
    trayIcon_->setToolTip(Text(env_.product.ProductName));
    trayIcon_->show();
  }
  return listening;
}

void TDummyForm::StartTimers() {
  Timer1.start();
  Timer2.start();
  LogSaveTimer.start();
}

void TDummyForm::ReportListenFailure(const std::exception& failure) {
  // Say plainly why the relay cannot listen: the error line when headless;
  // on a desktop the port-in-use dialog follows, and the line goes to
  // standard error for whoever started the program from a terminal.
  const int port = PortNumber(ListenPort);
  QString text = Text(failure.what());
  if (const auto* bindError = dynamic_cast<const EBindError*>(&failure);
      bindError && bindError->Code() == EACCES) {
    text = QStringLiteral(
               "Could not listen on port %1: ports below 1024 need privileges on this system. "
               "Run scripts/grant-port.sh once (it gives the program the right to use such ports), "
               "or choose a port above 1023 in %2 (USERPORT=1 and PORT=2525, for example).")
               .arg(port)
               .arg(Text(env_.paths.SettingsFile()));
  } else {
    text += QStringLiteral(" (port %1)").arg(port);
  }
  if (env_.headless) {
    UserMessages::Error(text);
  } else {
    std::fprintf(stderr, "Error: %s\n", text.toLocal8Bit().constData());
  }
}

void TDummyForm::Timer2Timer() {
  if (UserDnsServer.empty()) AutodetectDnsServer();
  Timer2.start();
}

void TDummyForm::Timer4Timer() {
  if (Timer4Tag == 1) {
    emit dnsWarningCloseRequested();
  } else {
    emit dnsWarningRequested();
  }
}

void TDummyForm::AutodetectDnsServer() {
  DetectedDnsServer = env_.findSystemDnsServer();
  if (UserDnsServer.empty()) relay_.SetActiveDnsServer(DetectedDnsServer);
}

void TDummyForm::ScheduleSendErrorsWarning() {
  QMetaObject::invokeMethod(
      this, [this] { ArmTimer(Timer3); }, Qt::QueuedConnection);
}

void TDummyForm::ArmDnsWarningTimer(int tag) {
  QMetaObject::invokeMethod(
      this,
      [this, tag] {
        Timer4Tag = tag;
        ArmTimer(Timer4);
      },
      Qt::QueuedConnection);
}

void TDummyForm::SaveDNS(const std::string& server) {
  const DnsStoreResult stored = StoreDnsSetting(env_.paths.SettingsFile(), server);
  UserDnsServer = stored.UserDnsServer;
  if (stored.Autodetect) {
    AutodetectDnsServer();
  } else {
    relay_.SetActiveDnsServer(UserDnsServer);
  }
}

void TDummyForm::SavePort(const std::string& port, bool localOnly) {
  const PortStoreResult stored =
      StorePortSetting(env_.paths.SettingsFile(), ListenPort, port, localOnly, nullptr);
  ListenPort = stored.ListenPort;
  // The accounts of every mail program pointed at the relay follow the port.
  if (stored.PortChanged)
    ::UpdateAccountPorts(UserMailAccountSources(env_.paths.AccountStoreFile()), ListenPort);
  relay_.SetLocalOnly(stored.LocalOnly);
  for (const std::string& message : stored.Messages) UserMessages::Information(Text(message));
}

void TDummyForm::OpenUrl(const std::string& url) {
  if (env_.headless || url.empty()) return;
  QDesktopServices::openUrl(QUrl(Text(url)));
}

void TDummyForm::BringToFront() {
  if (env_.headless) return;
  QWidget* window = QApplication::activeWindow();
  if (!window) {
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* candidate : windows)
      if (candidate->isVisible() && candidate->isEnabled() && !qobject_cast<QMenu*>(candidate))
        window = candidate;
  }
  if (!window || !window->isVisible() || !window->isEnabled()) return;
  if (window->isMinimized()) window->showNormal();
  window->raise();
  window->activateWindow();
}

void TDummyForm::FormClose() {
  if (closing_) return;
  closing_ = true;
  Timer2.stop();
  LogSaveTimer.stop();
  relay_.Shutdown();
  OperationLog().SaveIfDirty(env_.paths.LogFile());
  if (trayIcon_) trayIcon_->hide();
  emit closed();
  QCoreApplication::quit();
}
