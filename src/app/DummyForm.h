// The controller: the program's hidden first window. It owns the relay (the
// SMTP listener wired to the delivery engine), the tray icon with its menu,
// the actions behind every menu command and the timers that sequence
// start-up, DNS re-detection, deferred warnings and exit. It holds the
// run-time settings and is the one object through which windows read and
// change them.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/AppPaths.h"
#include "core/ProductInfoFile.h"
#include "delivery/RelayServer.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class TOperationLog;

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
    // Port of outbound SMTP connections; tests point it at their fake
    // exchangers.
    int outboundSmtpPort = 25;
    // Whether the desktop has a tray for the icon now; tests replace it.
    std::function<bool()> trayAvailable;
    // How often a changed log is saved while the program runs.
    int logSaveIntervalMs = 5000;
  };

  // The user commands, shown in the tray menu and run by the windows. The
  // controller owns them; every one is always enabled.
  struct MainActionList {
    QAction* Open = nullptr;           // "Open": the main window
    QAction* LogAction = nullptr;      // "View Log"
    QAction* MailCfgAction = nullptr;  // "Configure": the mail program window
    QAction* HomePage = nullptr;       // the product's web page
    QAction* OtherProducts = nullptr;  // the maker's web page
    QAction* ContactUs = nullptr;
    QAction* HelpAction = nullptr;  // the help contents
    QAction* AboutProgram = nullptr;
    QAction* ExitAction = nullptr;  // exit 100 ms later
  };

  // log: the operation log, loaded by the caller and outliving the controller.
  TDummyForm(Environment environment, TOperationLog& log, QObject* parent = nullptr);
  ~TDummyForm() override;

  // Reads the settings, starts listening and settles the DNS server. False
  // when the listener could not be activated: the program must then end.
  bool FormCreate();

  // Settings in force; settingsChanged() follows every change.
  const std::string& UserDnsServer() const { return userDnsServer_; }  // empty: detect
  const std::string& DetectedDnsServer() const { return detectedDnsServer_; }
  std::string ActiveDnsServer() const { return relay_.ActiveDnsServer(); }
  // As stored; the listener keeps the port it started with until the next start.
  const std::string& ListenPort() const { return listenPort_; }
  bool LocalOnly() const { return relay_.LocalOnly(); }
  // The port the listener actually holds; 0 while it does not listen.
  uint16_t BoundPort() const { return relay_.BoundPort(); }

  // The relay's figures: recipients sent and failed, live connection
  // threads, and their load in percent of the listen queue.
  int32_t SentCount() const { return relay_.SentCount(); }
  int32_t FailedCount() const { return relay_.FailedCount(); }
  void ZeroSentCount() { relay_.ZeroSentCount(); }
  void ZeroFailedCount() { relay_.ZeroFailedCount(); }
  int32_t ActiveThreadCount() const { return relay_.ActiveThreadCount(); }
  int ThreadLoad() const { return relay_.ThreadLoad(); }
  // Called on a connection thread for every copy an exchanger took.
  void SetDeliveryHook(RelayServer::DeliveryHook hook) { relay_.SetDeliveryHook(std::move(hook)); }

  // Store the DNS and port choices (settings file, mail program accounts,
  // information boxes) and apply what applies at once.
  void SaveDNS(const std::string& server);
  void SavePort(const std::string& port, bool localOnly);
  // Finds the system's DNS server; it becomes the active one unless the
  // user named a server.
  void AutodetectDnsServer();
  // Safe from any thread: shows the send-errors warning a second later.
  void ScheduleSendErrorsWarning();
  // Safe from any thread: the DNS warning is shown (tag 0) or closed (tag 1)
  // a second later, as the last message received by then says.
  void ArmDnsWarningTimer(int tag);

  const MainActionList& Actions() const { return actions_; }
  // The Exit and Open actions, for requests from outside the menu (the
  // instance channel, exit signals).
  void RequestExit();
  void RequestOpen();
  // Brings the application's most recently active window to the front.
  void BringToFront();

  // True once exit has begun (the listener is down or going down).
  bool Closed() const { return closing_; }
  // True when FormCreate did not listen because the stored port is no port
  // number (said in its own message; no port was tried).
  bool ListenPortRefused() const { return listenPortRefused_; }
  // The tray icon with its menu; null when headless.
  QSystemTrayIcon* TrayIcon() const { return trayIcon_.get(); }
  QMenu* TrayMenu() const { return trayMenu_.get(); }

  const ProductInfo& Product() const { return env_.product; }
  const AppPaths& Paths() const { return env_.paths; }
  bool Headless() const { return env_.headless; }

 signals:
  // A setting above changed: the user's or the detected DNS server, the
  // active one, the port or the local-only choice.
  void settingsChanged();
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
  // The listener took its port at start; the settings in force say how.
  void listeningStarted();
  // The log could not be saved (once until a save succeeds again); its
  // records stay in memory for the next try.
  void logSaveFailed(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct SettingsState;

  void CreateActions();
  void CreateTray();
  void SetUpTimers();
  void StartTimers();
  void RedetectDnsServer();
  void DnsWarningTimerFired();
  void OpenAtStartTimerFired();
  // ActiveDnsServer from the user's and the detected server.
  void SettleActiveDnsServer();
  void DetectDnsServer();
  SettingsState Settings() const;
  void EmitIfChanged(const SettingsState& before);
  void FormClose();
  void SaveLog();
  // Shows the tray icon, or, without a tray, says so and waits for one.
  void DockTrayIcon();
  void ReportListenFailure(const std::exception& failure, int port);
  void OpenUrl(const std::string& url);

  Environment env_;
  TOperationLog& log_;
  RelayServer relay_;
  std::string userDnsServer_;
  std::string detectedDnsServer_;
  std::string listenPort_ = "25";

  MainActionList actions_;
  std::unique_ptr<QMenu> trayMenu_;  // TryIconMenu; a widget, so not a child of this QObject
  std::unique_ptr<QSystemTrayIcon> trayIcon_;

  QTimer startTimer_;              // Timer1: 200 ms after start, arms openAtStartTimer_
  QTimer openAtStartTimer_;        // Timer: 200 ms later, Open when started with "open"
  QTimer dnsRedetectTimer_;        // Timer2: every 2 s, detection while no user server is set
  QTimer sendErrorsWarningTimer_;  // Timer3: 1 s after a run of failures, the warning
  QTimer dnsWarningTimer_;         // Timer4: 1 s after a received message, DNS warning shown or closed
  int dnsWarningTag_ = 0;          // Timer4's Tag: 1 when the last message had a DNS server
  QTimer exitTimer_;               // Timer5: 100 ms after Exit, close
  QTimer logSaveTimer_;            // every 5 s, the log to its file when it changed (and retried)
  QTimer trayPollTimer_;           // every 2 s while there is no tray, looks for one
  bool logSaveFailureReported_ = false;
  bool listenPortRefused_ = false;
  bool closing_ = false;
};

// Arms a one-shot timer unless it is armed already (no restart).
void ArmTimer(QTimer& timer);
