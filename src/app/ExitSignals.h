// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the interface thread,
// so a logout, a kill or Ctrl+C runs the same orderly exit as the menu.
#pragma once

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
};
