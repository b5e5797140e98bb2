// Entry point: module initialisation (log, product information), the
// single-instance rule with the "open" and "close" arguments, then the
// controller on a desktop or, without a display, headless.
#include <QAction>
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/AppPaths.h"
#include "core/DummyForm.h"
#include "core/ExitSignals.h"
#include "core/InstanceChannel.h"
#include "core/ProductInfoFile.h"
#include "core/UserMessages.h"
#include "log/OperationLog.h"
#include "log/ProblemWarnings.h"
#include "ui/DesktopWindows.h"

namespace {

struct CommandLine {
  bool headless = false;
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
    ExitSignals exitSignals;
    QObject::connect(&exitSignals, &ExitSignals::exitRequested, controller.ExitAction, &QAction::trigger);
    HeadlessWarnings headlessWarnings(controller.Env().product.ProductName, stderr);
    std::unique_ptr<ui::DesktopWindows> windows;
    if (controller.Env().headless) {
      // Without a display there is no window to open; say so, so that an
      // "open" request visibly reached this instance.
      QObject::connect(&controller, &TDummyForm::showMainWindowRequested,
                       [] { std::fprintf(stderr, "Open: running headless, there is no window to show.\n"); });
      QObject::connect(&controller, &TDummyForm::sendErrorsWarningRequested,
                       [&headlessWarnings] { headlessWarnings.ShowSendErrorsWarning(); });
      QObject::connect(&controller, &TDummyForm::dnsWarningRequested,
                       [&headlessWarnings] { headlessWarnings.ShowDnsWarning(); });
      QObject::connect(&controller, &TDummyForm::partialDeliveryNoted,
                       [](const QString& title, const QString& text) {
                         std::fprintf(stderr, "Warning: %s. %s\n", title.toLocal8Bit().constData(),
                                      text.toLocal8Bit().constData());
                         std::fflush(stderr);
                       });
    } else {
      windows = std::make_unique<ui::DesktopWindows>(controller);
    }
    if (controller.FormCreate()) {
      exitCode = app.exec();
    } else {
      // The port could not be taken: on a desktop the user chooses what to
      // do about it; the program ends either way.
      if (windows) windows->ShowPortInUse();
      exitCode = 1;
    }
  }
  // Module finalisation: the log back to its file if it changed.
  OperationLog().SaveIfDirty(paths.LogFile());
  return exitCode;
}
