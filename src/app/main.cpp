// Entry point: the options that print or change a file and end (help,
// version, autostart), module initialisation (log, product information), the
// single-instance rule with the "open" and "close" arguments, then the
// controller on a desktop or, without a display, headless.
#include <QApplication>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/AppTexts.h"
#include "app/DummyForm.h"
#include "app/ExitSignals.h"
#include "app/HeadlessReporter.h"
#include "app/InstanceChannel.h"
#include "app/UserMessages.h"
#include "core/AppPaths.h"
#include "core/CommandLine.h"
#include "core/ProductInfoFile.h"
#include "log/OperationLog.h"
#include "ui/DesktopWindows.h"

namespace {

// How long "close" waits after asking the running instance to exit.
constexpr auto kCloseWait = std::chrono::milliseconds(8000);

// Runs the controller until it exits, with the windows on a desktop and the
// headless reporter without one; the exit code of the program.
int RunController(TDummyForm& controller, TOperationLog& log, QApplication& app, InstanceChannel& channel,
                  bool verbose) {
  QObject::connect(&channel, &InstanceChannel::restoreRequested, &controller, &TDummyForm::BringToFront);
  QObject::connect(&channel, &InstanceChannel::closeRequested, &controller, &TDummyForm::RequestExit);
  QObject::connect(&channel, &InstanceChannel::openRequested, &controller, &TDummyForm::RequestOpen);
  ExitSignals exitSignals;
  QObject::connect(&exitSignals, &ExitSignals::exitRequested, &controller, &TDummyForm::RequestExit);
  std::unique_ptr<ui::DesktopWindows> windows;
  if (controller.Headless()) {
    ReportOnStandardError(controller);
  } else {
    windows = std::make_unique<ui::DesktopWindows>(controller, log);
  }
  if (verbose) ReportDeliveredCopies(controller);
  if (controller.FormCreate()) return app.exec();
  // The port could not be taken: on a desktop the user chooses what to do
  // about it; the program ends either way.
  if (windows) windows->ShowPortInUse();
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  CommandLine commandLine = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  const AppPaths paths = AppPaths::Locate(AppPaths::CurrentExecutablePath(), commandLine.dataDir);
  if (const std::optional<int> exitCode = RunOneShotOption(commandLine, paths)) return *exitCode;
  if (!commandLine.headless && !DisplayAvailable()) {
    std::fprintf(stderr, "%s\n", app_text::kNoDisplay);
    commandLine.headless = true;
  }

  // Module initialisation, before any window exists. An installed
  // program's user folders may not exist yet on a fresh account; without
  // them the log and the settings could not be saved.
  if (const std::string folder = paths.CreateUserFolders(); !folder.empty())
    std::fprintf(stderr, app_text::kNoUserFolder, folder.c_str());
  TOperationLog log;
  log.Load(paths.LogFile());
  TDummyForm::Environment env;
  env.paths = paths;
  env.headless = commandLine.headless;
  env.product = LoadProductInfo(paths.ProductInfoFile());

  // Actions need a GUI application; a headless run gets one on the
  // offscreen platform, so the controller is the same in both.
  if (env.headless) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QCoreApplication::setApplicationName(QString::fromLocal8Bit(env.product.ProductName.c_str()));
  UserMessages::SetHeadless(env.headless);

  InstanceChannel channel(QString::fromLocal8Bit(paths.FilesFolder().c_str()));
  const bool anotherRuns = channel.AnotherInstanceRuns();
  switch (StartStepFor(commandLine.command, anotherRuns)) {
    case StartStep::Close:
      if (anotherRuns) channel.Send(kCloseMessage);
      std::this_thread::sleep_for(kCloseWait);
      return 0;
    case StartStep::HandOverOpen:
      channel.Send(kOpenMessage);
      return 0;
    case StartStep::HandOverRestore:
      channel.Send(kRestoreMessage);
      return 0;
    case StartStep::RunAndOpen:
      env.openAtStart = true;
      break;
    case StartStep::Run:
      break;
  }
  channel.Listen();

  int exitCode = 0;
  {
    TDummyForm controller(std::move(env), log);
    exitCode = RunController(controller, log, app, channel, commandLine.verbose);
  }
  // Module finalisation: the log back to its file if it changed.
  log.SaveIfDirty(paths.LogFile());
  return exitCode;
}
