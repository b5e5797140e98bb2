// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the interface thread,
// so a logout, a kill or Ctrl+C runs the same orderly exit as the menu.
// SIGINT and SIGHUP that were ignored at start (nohup, a background job)
// stay ignored.
#pragma once

#include <signal.h>

#include <QObject>

class QSocketNotifier;

class ExitSignals : public QObject {
  Q_OBJECT

 public:
  explicit ExitSignals(QObject* parent = nullptr);
  ~ExitSignals() override;

 signals:
  void exitRequested();

 private:
  QSocketNotifier* notifier_ = nullptr;
  struct sigaction previous_[3]{};  // what SIGTERM, SIGINT and SIGHUP did before
};
