// Entry point: the options that print or change a file and end (help,
// version, autostart), the single-instance rule with the "open" and "close"
// arguments (no display needed for either), module initialisation (the
// user's folders, log, product information), then the controller on a
// desktop or, without a display that answers, headless.
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/AppTexts.h"
#include "app/DisplayProbe.h"
#include "app/DummyForm.h"
#include "app/ExitSignals.h"
#include "app/HeadlessReporter.h"
#include "app/InstanceChannel.h"
#include "app/InstanceLink.h"
#include "app/LastSave.h"
#include "app/QtMessages.h"
#include "app/UserMessages.h"
#include "core/AppPaths.h"
#include "core/CommandLine.h"
#include "core/ProductInfoFile.h"
#include "log/OperationLog.h"
#include "platform/DescriptorLimit.h"
#include "platform/PrivateFolder.h"
#include "platform/TextFile.h"
#include "ui/DesktopWindows.h"

namespace {

// How long "close" waits after asking the running instance to exit.
constexpr auto kCloseWait = std::chrono::milliseconds(8000);
// How long a hand-over waits for the running instance, which may be starting.
constexpr auto kHandOverWait = std::chrono::milliseconds(5000);
// How long a display may take to answer before the program runs headless.
constexpr auto kDisplayAnswerLimit = std::chrono::milliseconds(2000);

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

void SayOnStandardError(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

// Hands a request to the running instance; the exit code of this one.
int HandOver(const InstanceLink& link, const InstanceMessage& message) {
  if (link.Send(message, kHandOverWait)) return 0;
  SayOnStandardError(app_text::kInstanceDoesNotAnswer);
  return 1;
}

// Whether the program runs headless: asked for, or no display answers.
// Qt's platform is set to match; a desktop run keeps "offscreen" as the last
// platform to try, so that a display failing after the check still gives a
// headless program instead of an aborted one.
bool DecideHeadless(bool askedHeadless) {
  bool headless = askedHeadless;
  if (!headless) {
    const DisplayCheck check = CheckDisplay(kDisplayAnswerLimit);
    if (check.state == DisplayCheck::State::kNone) SayOnStandardError(app_text::kNoDisplay);
    if (check.state == DisplayCheck::State::kSilent)
      SayOnStandardError(QString::fromLatin1(app_text::kDisplaySilent)
                             .arg(QString::fromLocal8Bit(check.display.c_str()))
                             .toStdString());
    headless = check.state != DisplayCheck::State::kUsable;
  }
  qputenv("QT_QPA_PLATFORM",
          headless ? QByteArray("offscreen") : QByteArray::fromStdString(PlatformsToTry()));
  return headless;
}

// What keeps the settings or the log from being saved: a folder of the
// user's files that could not be made, or one where they cannot be written.
// Empty when both can be saved.
QString UserFolderProblem(const AppPaths& paths) {
  if (const std::string folder = paths.CreateUserFolders(); !folder.empty())
    return QString::fromLatin1(app_text::kNoUserFolder).arg(QString::fromLocal8Bit(folder.c_str()));
  for (const std::string& file : {paths.SettingsFile(), paths.LogFile()}) {
    if (os::CanReplace(file)) continue;
    const std::string folder = std::filesystem::path(file).parent_path().string();
    return QString::fromLatin1(app_text::kUserFolderNotWritable).arg(QString::fromLocal8Bit(folder.c_str()));
  }
  return {};
}

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
  // An exit requested while a start-up message was open has happened already.
  if (controller.FormCreate()) return controller.Closed() ? 0 : app.exec();
  // The port could not be taken: on a desktop the user chooses what to do
  // about it; the program ends either way. A stored port that is no port
  // number was named in its own message already.
  if (windows && !controller.Closed() && !controller.ListenPortRefused()) windows->ShowPortInUse();
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  const CommandLine commandLine = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  InstallQtMessageFilter(commandLine.verbose);
  const AppPaths paths = AppPaths::Locate(AppPaths::CurrentExecutablePath(), commandLine.dataDir);
  if (const std::optional<int> exitCode = RunOneShotOption(commandLine, paths)) return *exitCode;

  // One instance per user and data folder; "open" and "close" are handed to
  // it without any window system.
  const os::PrivateFolderChoice runtime =
      os::ChoosePrivateFolder(Environment("XDG_RUNTIME_DIR"), "/tmp", ::getuid());
  if (runtime.folder.empty()) {
    SayOnStandardError(QString::fromLatin1(app_text::kNoPrivateFolder)
                           .arg(QString::fromLocal8Bit(runtime.problem.c_str()))
                           .toStdString());
    return 1;
  }
  InstanceLink link(runtime.folder, paths.FilesFolder());
  const InstanceLink::Role role = link.Claim();
  if (role == InstanceLink::Role::kFailed) {
    SayOnStandardError(QString::fromLatin1(app_text::kNoInstanceLock)
                           .arg(QString::fromLocal8Bit(link.LockPath().c_str()))
                           .toStdString());
    return 1;
  }
  const bool anotherRuns = role == InstanceLink::Role::kSecond;
  bool openAtStart = false;
  switch (StartStepFor(commandLine.command, anotherRuns)) {
    case StartStep::Close:
      if (anotherRuns) link.Send(kCloseMessage, kHandOverWait);
      link.Release();
      std::this_thread::sleep_for(kCloseWait);
      return 0;
    case StartStep::HandOverOpen:
      return HandOver(link, kOpenMessage);
    case StartStep::HandOverRestore:
      return HandOver(link, kRestoreMessage);
    case StartStep::RunAndOpen:
      openAtStart = true;
      break;
    case StartStep::Run:
      break;
  }
  // Never run without the channel: a later start could not find this one.
  os::Fd listening = link.Listen();
  if (!listening) {
    SayOnStandardError(QString::fromLatin1(app_text::kNoInstanceChannel)
                           .arg(QString::fromLocal8Bit(link.SocketPath().c_str()))
                           .toStdString());
    return 1;
  }

  // Idle connections must not use up the descriptors the relay needs.
  os::RaiseOpenFileLimit();
  const std::string platformAsked = Environment("QT_QPA_PLATFORM");
  bool headless = DecideHeadless(commandLine.headless);

  // Module initialisation, before any window exists. An installed
  // program's user folders may not exist yet on a fresh account.
  const QString folderProblem = UserFolderProblem(paths);
  TOperationLog log;
  log.Load(paths.LogFile());
  const LastSave lastSave(log, paths.LogFile());
  TDummyForm::Environment env;
  env.paths = paths;
  env.product = LoadProductInfo(paths.ProductInfoFile());
  env.openAtStart = openAtStart;

  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  if (!headless && QGuiApplication::platformName() == QLatin1String("offscreen") &&
      platformAsked.rfind("offscreen", 0) != 0) {
    SayOnStandardError(app_text::kNoDisplay);  // the display failed after all
    headless = true;
  }
  env.headless = headless;
  QCoreApplication::setApplicationName(QString::fromLocal8Bit(env.product.ProductName.c_str()));
  UserMessages::SetHeadless(headless);
  // Said once, at start: the relay runs, but what it stores would be lost.
  if (!folderProblem.isEmpty()) UserMessages::Error(folderProblem);
  InstanceChannel channel(std::move(listening));

  int exitCode = 0;
  {
    TDummyForm controller(std::move(env), log);
    exitCode = RunController(controller, log, app, channel, commandLine.verbose);
  }
  // Module finalisation: the log back to its file if it changed.
  log.SaveIfDirty(paths.LogFile());
  return exitCode;
}
