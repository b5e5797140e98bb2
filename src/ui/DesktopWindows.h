// The controller's requests shown on a desktop: its Open action opens the
// main window, its warning timers open and close the warning windows, and a
// message that reached only some recipients becomes a tray notification.
// Built by the entry point when there is a display; headless runs write the
// same things to standard error instead.
#pragma once

#include <QObject>
#include <memory>

#include "ui/ControllerHost.h"
#include "ui/WarningWindows.h"

class TDummyForm;
class TOperationLog;

namespace ui {

class DesktopWindows : public QObject {
  Q_OBJECT

 public:
  // log: the operation log the log viewer shows; it outlives the windows.
  DesktopWindows(TDummyForm& controller, TOperationLog& log, QObject* parent = nullptr);
  ~DesktopWindows() override;

  // The port-in-use dialog, modal; after it the program ends.
  void ShowPortInUse();

  WindowHost& Host() { return host_; }
  WarningWindows& Warnings() { return warnings_; }

 private:
  TDummyForm& controller_;
  TOperationLog& log_;
  ControllerHost host_;
  WarningWindows warnings_;
};

}  // namespace ui
