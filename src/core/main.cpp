// Entry point: module initialisation (log, product information), the
// single-instance rule with the "open" and "close" arguments, then the
// controller on a desktop or, without a display, headless.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <QAction>
#include <QApplication>

#include "core/AppPaths.h"
#include "core/DummyForm.h"
#include "core/ExitSignals.h"
#include "core/InstanceChannel.h"
#include "core/ProductInfoFile.h"
#include "core/UserMessages.h"
#include "log/OperationLog.h"

namespace {

struct CommandLine {
  bool headless = false;
  bool verbose = false;  // a line on standard error per delivered copy
  std::string dataDir;
  std::string command;  // the first plain argument: "open", "close" or other
};

CommandLine ParseCommandLine(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  CommandLine line;
  line.dataDir = AppPaths::DataDirFrom(args);
  bool commandSeen = false;
  for (const std::string& arg : AppPaths::WithoutDataDirOption(args)) {
    if (arg == "--headless") {
      line.headless = true;
    } else if (arg == "--verbose") {
      line.verbose = true;
    } else if (!commandSeen) {
      line.command = arg;
      commandSeen = true;
    }
  }
  return line;
}

bool DisplayAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && *platform) return true;
  return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  CommandLine commandLine = ParseCommandLine(argc, argv);
  if (!commandLine.headless && !DisplayAvailable()) {
    std::fprintf(stderr, "No display found: Postwick runs headless.\n");
    commandLine.headless = true;
  }

  // Module initialisation, before any window exists.
  TDummyForm::Environment env;
  const AppPaths paths(AppPaths::CurrentExecutablePath(), commandLine.dataDir);
  env.paths = paths;
  env.headless = commandLine.headless;
  OperationLog().Load(env.paths.LogFile());
  env.product = LoadProductInfo(env.paths.ProductInfoFile());

  // Actions need a GUI application; a headless run gets one on the
  // offscreen platform, so the controller is the same in both.
  if (env.headless) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QCoreApplication::setApplicationName(QString::fromLocal8Bit(env.product.ProductName.c_str()));
  UserMessages::SetHeadless(env.headless);

  InstanceChannel channel(QString::fromLocal8Bit(env.paths.FilesFolder().c_str()));
  const bool anotherRuns = channel.AnotherInstanceRuns();
  if (commandLine.command == "close") {
    if (anotherRuns) channel.Send(kCloseMessage);
    std::this_thread::sleep_for(std::chrono::milliseconds(8000));
    return 0;
  }
  if (commandLine.command == "open") {
    if (anotherRuns) {
      channel.Send(kOpenMessage);
      return 0;
    }
    env.openAtStart = true;
  }
  if (anotherRuns) {
    channel.Send(kRestoreMessage);
    return 0;
  }
  channel.Listen();

  int exitCode = 0;
  {
    TDummyForm controller(std::move(env));
    QObject::connect(&channel, &InstanceChannel::restoreRequested, &controller, &TDummyForm::BringToFront);
    QObject::connect(&channel, &InstanceChannel::closeRequested, controller.ExitAction, &QAction::trigger);
    QObject::connect(&channel, &InstanceChannel::openRequested, controller.Open, &QAction::trigger);
    if (commandLine.verbose) {
      controller.Relay().SetDeliveryHook([](const DeliveredCopy& copy) {
        std::fprintf(stderr, "Delivered: %s\n", DescribeCopy(copy).c_str());
      });
    }
    ExitSignals exitSignals;
    QObject::connect(&exitSignals, &ExitSignals::exitRequested, controller.ExitAction, &QAction::trigger);
    if (controller.Env().headless) {
      // Without a display there is no window to open; say so, so that an
      // "open" request visibly reached this instance.
      QObject::connect(&controller, &TDummyForm::showMainWindowRequested, [] {
        std::fprintf(stderr, "Open: running headless, there is no window to show.\n");
      });
      QObject::connect(&controller, &TDummyForm::sendErrorsWarningRequested, [] {
        std::fprintf(stderr, "Warning: many sending errors one after another; outgoing port 25 may be blocked.\n");
      });
      QObject::connect(&controller, &TDummyForm::dnsWarningRequested, [] {
        std::fprintf(stderr, "Warning: no DNS server is known; messages cannot be relayed.\n");
      });
    }
    if (controller.FormCreate()) {
      exitCode = app.exec();
    } else {
      exitCode = 1;
    }
  }
  // Module finalisation: the log back to its file if it changed.
  OperationLog().SaveIfDirty(paths.LogFile());
  return exitCode;
}
