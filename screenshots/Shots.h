// The screenshot tool: every window of the program built with fixture data
// and saved as a PNG for the documentation. Each file of this folder adds its
// rows to the table with a ShotRegistration; scripts/screenshots.sh runs the
// tool on a virtual X display.
#pragma once

#include <QPixmap>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "core/AppPaths.h"
#include "core/ProductInfoFile.h"
#include "log/OperationLog.h"

class QWidget;
class TDummyForm;

namespace shots {

// What the windows are built from: a data folder of its own (settings, log,
// account store) and the product information delivered with the program.
class Fixture {
 public:
  Fixture(std::string executablePath, std::string dataDir);
  ~Fixture();

  const AppPaths& Paths() const { return paths_; }
  const ProductInfo& Product() const { return product_; }
  // Writes a file of the data folder (settings, log, account store ...).
  void WriteDataFile(const std::string& name, const std::string& text) const;
  // A headless controller on the data folder (port 2525, this computer
  // only) and the fixture's log; built on first use. Windows that need the
  // controller take it here.
  TDummyForm& Controller();

 private:
  AppPaths paths_;
  ProductInfo product_;
  TOperationLog log_;  // outlives the controller
  std::unique_ptr<TDummyForm> controller_;
};

// Shows the window, lets it lay out and paint, and grabs it (client area).
QPixmap GrabWindow(QWidget* window);
// Lets pending events run for a while (layout, timers, painting).
void Settle(int ms);

struct Shot {
  QString file;  // name of the PNG under the output folder
  std::function<QPixmap(Fixture&)> take;
};

// Adds a row to the tool's table at program start.
struct ShotRegistration {
  explicit ShotRegistration(Shot shot);
};

}  // namespace shots
