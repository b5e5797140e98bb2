#include "app/DummyForm.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>
#include <cstdio>

#include "app/AppIcons.h"
#include "app/AppTexts.h"
#include "app/HelpFile.h"
#include "app/UserMessages.h"
#include "core/DnsServerChoice.h"
#include "core/MailAccountSource.h"
#include "core/Settings.h"
#include "delivery/SystemDnsServer.h"
#include "intake/LocalServer.h"
#include "log/OperationLog.h"
#include "log/ProblemWarnings.h"

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

// The values behind settingsChanged(), to tell whether an operation changed one.
struct TDummyForm::SettingsState {
  std::string userDnsServer, detectedDnsServer, activeDnsServer, listenPort;
  bool localOnly = true;
  bool operator==(const SettingsState&) const = default;
};

TDummyForm::TDummyForm(Environment environment, TOperationLog& log, QObject* parent)
    : QObject(parent), env_(std::move(environment)), log_(log), relay_(log) {
  setObjectName(QStringLiteral("Dummy Form"));
  if (!env_.findSystemDnsServer) env_.findSystemDnsServer = [] { return FindSystemDnsServer(); };
  relay_.SetOutboundPort(env_.outboundSmtpPort);
  SetUpTimers();
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
  log_.SetSendErrorsHook([this] { ScheduleSendErrorsWarning(); });
}

TDummyForm::~TDummyForm() {
  log_.SetSendErrorsHook(nullptr);
  relay_.SetDnsWarningHook(nullptr);
  relay_.SetPartialDeliveryHook(nullptr);
  if (!closing_) FormClose();
}

void TDummyForm::SetUpTimers() {
  SetUpOneShot(startTimer_, 200);
  SetUpOneShot(openAtStartTimer_, 200);
  SetUpOneShot(dnsRedetectTimer_, 2000);
  SetUpOneShot(sendErrorsWarningTimer_, 1000);
  SetUpOneShot(dnsWarningTimer_, 1000);
  SetUpOneShot(exitTimer_, 100);
  logSaveTimer_.setInterval(kLogSaveIntervalMs);
  connect(&startTimer_, &QTimer::timeout, this, [this] { ArmTimer(openAtStartTimer_); });
  connect(&openAtStartTimer_, &QTimer::timeout, this, &TDummyForm::OpenAtStartTimerFired);
  connect(&dnsRedetectTimer_, &QTimer::timeout, this, &TDummyForm::RedetectDnsServer);
  connect(&sendErrorsWarningTimer_, &QTimer::timeout, this, &TDummyForm::sendErrorsWarningRequested);
  connect(&dnsWarningTimer_, &QTimer::timeout, this, &TDummyForm::DnsWarningTimerFired);
  connect(&exitTimer_, &QTimer::timeout, this, &TDummyForm::FormClose);
  connect(&logSaveTimer_, &QTimer::timeout, this, [this] { log_.SaveIfDirty(env_.paths.LogFile()); });
}

void TDummyForm::CreateActions() {
  struct Row {
    QAction*& action;
    const char* caption;
    QKeySequence shortcut;
    AppIcon icon;
    std::function<void()> effect;
  };
  MainActionList& a = actions_;
  const Row rows[] = {
      {a.Open, "Open", QKeySequence(Qt::CTRL | Qt::Key_O), AppIcon::Open,
       [this] { emit showMainWindowRequested(); }},
      {a.LogAction, "View Log", QKeySequence(Qt::CTRL | Qt::Key_L), AppIcon::Log,
       [this] { emit showLogViewerRequested(); }},
      {a.MailCfgAction, "Configure", QKeySequence(Qt::CTRL | Qt::Key_F), AppIcon::Configure,
       [this] { emit showMailCfgRequested(); }},
      {a.HomePage, "Home Page", QKeySequence(Qt::CTRL | Qt::Key_H), AppIcon::HomePage,
       [this] { OpenUrl(env_.product.ProgPage); }},
      {a.OtherProducts, "Other Products", QKeySequence(Qt::CTRL | Qt::Key_P), AppIcon::OtherProducts,
       [this] { OpenUrl(env_.product.HomePage); }},
      {a.ContactUs, "Contact Us", QKeySequence(Qt::CTRL | Qt::Key_U), AppIcon::ContactUs,
       [this] {
         const std::string& email = env_.product.Email;
         OpenUrl(email.find('@') != std::string::npos ? "mailto:" + email : email);
       }},
      {a.HelpAction, "Online Help", QKeySequence(Qt::CTRL | Qt::Key_F1), AppIcon::Help,
       [this] { OpenHelpContents(env_.paths); }},
      {a.AboutProgram, "About Program", QKeySequence(Qt::CTRL | Qt::Key_A), AppIcon::About,
       [this] { emit showAboutRequested(); }},
      {a.ExitAction, "Exit", QKeySequence(Qt::ALT | Qt::Key_X), AppIcon::Exit,
       [this] { ArmTimer(exitTimer_); }},
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
  trayMenu_ = std::make_unique<QMenu>();
  trayMenu_->setObjectName(QStringLiteral("TryIconMenu"));
  trayMenu_->addAction(actions_.Open);
  trayMenu_->addSeparator();
  trayMenu_->addAction(actions_.LogAction);
  trayMenu_->addAction(actions_.MailCfgAction);
  trayMenu_->addSeparator();
  trayMenu_->addAction(actions_.HomePage);
  trayMenu_->addAction(actions_.ContactUs);
  trayMenu_->addSeparator();
  trayMenu_->addAction(actions_.HelpAction);
  trayMenu_->addAction(actions_.AboutProgram);
  trayMenu_->addSeparator();
  trayMenu_->addAction(actions_.ExitAction);

  trayIcon_ = std::make_unique<QSystemTrayIcon>(MakeAppIcon(AppIcon::Tray));
  trayIcon_->setObjectName(QStringLiteral("TrayIcon"));
  trayIcon_->setContextMenu(trayMenu_.get());
  connect(trayIcon_.get(), &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick) RequestOpen();
          });
}

bool TDummyForm::FormCreate() {
  const StoredSettings settings = ReadSettings(env_.paths.SettingsFile());
  userDnsServer_ = settings.UserDnsServer;
  listenPort_ = settings.ListenPort;
  relay_.SetLocalOnly(settings.LocalOnly);
  bool listening = true;
  try {
    relay_.Start(env_.product.ProductName, PortNumber(listenPort_));
  } catch (const std::exception& failure) {
    ReportListenFailure(failure);
    listening = false;
  }
  if (userDnsServer_.empty()) {
    AutodetectDnsServer();
  } else {
    SettleActiveDnsServer();
  }
  StartTimers();
  if (trayIcon_) {
    trayIcon_->setToolTip(Text(env_.product.ProductName));
    trayIcon_->show();
  }
  return listening;
}

void TDummyForm::StartTimers() {
  startTimer_.start();
  dnsRedetectTimer_.start();
  logSaveTimer_.start();
}

void TDummyForm::ReportListenFailure(const std::exception& failure) {
  // Say plainly why the relay cannot listen: the error line when headless;
  // on a desktop the port-in-use dialog follows, and the line goes to
  // standard error for whoever started the program from a terminal.
  const int port = PortNumber(listenPort_);
  QString text;
  if (const auto* bindError = dynamic_cast<const EBindError*>(&failure);
      bindError && bindError->Code() == EACCES) {
    if (env_.paths.FileLayout() == AppPaths::Layout::Installed) {
      text = QString::fromLatin1(app_text::kPrivilegedPortInstalled)
                 .arg(port)
                 .arg(Text(env_.paths.ExecutablePath()), Text(env_.paths.SettingsFile()));
    } else {
      text = QString::fromLatin1(app_text::kPrivilegedPort).arg(port).arg(Text(env_.paths.SettingsFile()));
    }
  } else {
    text = Text(failure.what()) + QString::fromLatin1(app_text::kOnPort).arg(port);
  }
  if (env_.headless) {
    UserMessages::Error(text);
  } else {
    std::fprintf(stderr, "Error: %s\n", text.toLocal8Bit().constData());
  }
}

void TDummyForm::OpenAtStartTimerFired() {
  if (!env_.openAtStart) return;
  env_.openAtStart = false;
  RequestOpen();
}

void TDummyForm::RedetectDnsServer() {
  if (userDnsServer_.empty()) AutodetectDnsServer();
  dnsRedetectTimer_.start();
}

void TDummyForm::DnsWarningTimerFired() {
  if (dnsWarningTag_ == 1) {
    emit dnsWarningCloseRequested();
  } else {
    emit dnsWarningRequested();
  }
}

TDummyForm::SettingsState TDummyForm::Settings() const {
  return {userDnsServer_, detectedDnsServer_, relay_.ActiveDnsServer(), listenPort_, relay_.LocalOnly()};
}

void TDummyForm::EmitIfChanged(const SettingsState& before) {
  if (!(Settings() == before)) emit settingsChanged();
}

void TDummyForm::SettleActiveDnsServer() {
  relay_.SetActiveDnsServer(ChooseActiveDnsServer(userDnsServer_, detectedDnsServer_));
}

void TDummyForm::AutodetectDnsServer() {
  const SettingsState before = Settings();
  DetectDnsServer();
  EmitIfChanged(before);
}

void TDummyForm::DetectDnsServer() {
  detectedDnsServer_ = env_.findSystemDnsServer();
  SettleActiveDnsServer();
}

void TDummyForm::ScheduleSendErrorsWarning() {
  QMetaObject::invokeMethod(
      this, [this] { ArmTimer(sendErrorsWarningTimer_); }, Qt::QueuedConnection);
}

void TDummyForm::ArmDnsWarningTimer(int tag) {
  QMetaObject::invokeMethod(
      this,
      [this, tag] {
        dnsWarningTag_ = tag;
        ArmTimer(dnsWarningTimer_);
      },
      Qt::QueuedConnection);
}

void TDummyForm::SaveDNS(const std::string& server) {
  const SettingsState before = Settings();
  const DnsStoreResult stored = StoreDnsSetting(env_.paths.SettingsFile(), server);
  userDnsServer_ = stored.UserDnsServer;
  if (stored.Autodetect) {
    DetectDnsServer();
  } else {
    SettleActiveDnsServer();
  }
  EmitIfChanged(before);
}

void TDummyForm::SavePort(const std::string& port, bool localOnly) {
  const SettingsState before = Settings();
  const PortStoreResult stored =
      StorePortSetting(env_.paths.SettingsFile(), listenPort_, port, localOnly, nullptr);
  listenPort_ = stored.ListenPort;
  // The accounts of every mail program pointed at the relay follow the port.
  if (stored.PortChanged)
    ::UpdateAccountPorts(UserMailAccountSources(env_.paths.AccountStoreFile()), listenPort_);
  relay_.SetLocalOnly(stored.LocalOnly);
  EmitIfChanged(before);
  for (const std::string& message : stored.Messages) UserMessages::Information(Text(message));
}

void TDummyForm::RequestExit() { actions_.ExitAction->trigger(); }

void TDummyForm::RequestOpen() { actions_.Open->trigger(); }

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
  dnsRedetectTimer_.stop();
  logSaveTimer_.stop();
  relay_.Shutdown();
  log_.SaveIfDirty(env_.paths.LogFile());
  if (trayIcon_) trayIcon_->hide();
  emit closed();
  QCoreApplication::quit();
}
