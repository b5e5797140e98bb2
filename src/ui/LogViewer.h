// The log viewer: the operation log as a table, newest record at the bottom,
// following new records while it is open (first 200 ms after showing, then
// every 2 s when the log changed), with the status text of the selected
// record in the details strip, and Clear after a confirmation.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <memory>

class LogViewerModel;
class TOperationLog;
namespace ui {
class WindowHost;
}

namespace Ui {
class LogViewer;
}

class TLogViewer : public QDialog {
  Q_OBJECT

 public:
  // The viewer reads and clears the log it is given; the host opens its help.
  TLogViewer(TOperationLog& log, ui::WindowHost& host, QWidget* parent = nullptr);
  ~TLogViewer() override;

  // The refresh tick (public so tests and the benchmark can run one at once).
  void TimerTimer();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Refresh();
  void ShowSelectedStatus();
  void ClearClick();
  void FitColumns();

  std::unique_ptr<Ui::LogViewer> ui_;
  TOperationLog& log_;
  ui::WindowHost& host_;
  LogViewerModel* model_;
  QTimer timer_;  // Timer
  bool refreshOnNextTick_ = false;
  bool centred_ = false;
};

// ShowLogViewer: the one log viewer, built when none is open, else brought to
// the front.
TLogViewer* ShowLogViewer(TOperationLog& log, ui::WindowHost& host);
