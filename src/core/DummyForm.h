// The controller: the program's hidden first window. It owns the relay (the
// SMTP listener wired to the delivery engine), the tray icon with its menu,
// the actions behind every menu command and the timers that sequence
// start-up, DNS re-detection, deferred warnings and exit. It holds the
// run-time settings and is the one object through which windows change them.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "core/AppPaths.h"
#include "core/ProductInfoFile.h"
#include "delivery/RelayServer.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

class TDummyForm : public QObject {
  Q_OBJECT

 public:
  // What the entry point prepared before the controller exists.
  struct Environment {
    AppPaths paths{""};
    ProductInfo product;
    bool headless = false;
    bool openAtStart = false;
    // How the system DNS server is found; tests replace it.
    std::function<std::string()> findSystemDnsServer;
  };

  explicit TDummyForm(Environment environment, QObject* parent = nullptr);
  ~TDummyForm() override;

  // Reads the settings, starts listening and settles the DNS server. False
  // when the listener could not be activated: the program must then end.
  bool FormCreate();

  // Run-time settings; written on the interface thread only.
  std::string UserDnsServer;
  std::string DetectedDnsServer;
  std::string ListenPort = "25";
  std::string ActiveDnsServer() const { return relay_.ActiveDnsServer(); }
  bool LocalOnly() const { return relay_.LocalOnly(); }

  // Store the DNS and port choices (settings file, accounts, message boxes).
  void SaveDNS(const std::string& server);
  void SavePort(const std::string& port, bool localOnly);
  void AutodetectDnsServer();
  // Safe from any thread: shows the send-errors warning a second later.
  void ScheduleSendErrorsWarning();
  // Safe from any thread: arms Timer4 with the tag of the last message.
  void ArmDnsWarningTimer(int tag);

  const Environment& Env() const { return env_; }
  RelayServer& Relay() { return relay_; }
  QMenu* TryIconMenu() const { return trayMenu_; }
  // Null when headless.
  QSystemTrayIcon* TrayIcon() const { return trayIcon_; }

  // MainActionList.
  QAction* Open = nullptr;
  QAction* LogAction = nullptr;
  QAction* MailCfgAction = nullptr;
  QAction* HomePage = nullptr;
  QAction* OtherProducts = nullptr;
  QAction* ContactUs = nullptr;
  QAction* HelpAction = nullptr;
  QAction* AboutProgram = nullptr;
  QAction* ExitAction = nullptr;

  // Timers, named as the jobs table calls them.
  QTimer Timer1;  // 200 ms after start: arms Timer
  QTimer Timer;   // then: Open when started with "open"
  QTimer Timer2;  // every 2 s: DNS re-detection
  QTimer Timer3;  // 1 s after a run of failures: send-errors warning
  QTimer Timer4;  // 1 s after a received message: DNS warning shown or closed
  QTimer Timer5;  // 100 ms after Exit: close
  int Timer4Tag = 0;
  QTimer LogSaveTimer;  // saves the operation log while it is dirty

  // Brings the application's most recently active window to the front.
  void BringToFront();

 signals:
  // The windows of the desktop side listen to these.
  void showMainWindowRequested();
  void showLogViewerRequested();
  void showMailCfgRequested();
  void showAboutRequested();
  void sendErrorsWarningRequested();
  void dnsWarningRequested();
  void dnsWarningCloseRequested();
  // A message reached some of its recipients but not all.
  void partialDeliveryNoted(const QString& title, const QString& text);
  // Exit has completed: the listener is down and the log saved.
  void closed();

 private:
  void CreateActions();
  void CreateTray();
  void StartTimers();
  void Timer4Timer();
  void Timer2Timer();
  void FormClose();
  void ReportListenFailure(const std::exception& failure);
  void OpenUrl(const std::string& url);

  Environment env_;
  RelayServer relay_;
  QMenu* trayMenu_ = nullptr;
  QSystemTrayIcon* trayIcon_ = nullptr;
  bool closing_ = false;
};

// Arms a one-shot timer unless it is armed already (no restart).
void ArmTimer(QTimer& timer);
