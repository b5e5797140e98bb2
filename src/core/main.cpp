// Entry point: the options that print or change a file and end (help,
// version, autostart), module initialisation (log, product information), the
// single-instance rule with the "open" and "close" arguments, then the
// controller on a desktop or, without a display, headless.
#include <QAction>
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/AppPaths.h"
#include "core/Autostart.h"
#include "core/DummyForm.h"
#include "core/ExitSignals.h"
#include "core/InstanceChannel.h"
#include "core/ProductInfoFile.h"
#include "core/UserMessages.h"
#include "log/OperationLog.h"

namespace {

struct CommandLine {
  bool headless = false;
  bool help = false;
  bool version = false;
  bool installAutostart = false;
  bool removeAutostart = false;
  std::string dataDir;
  std::string command;  // the first plain argument: "open", "close" or other
  std::string error;    // why the arguments were refused; empty when they were not
};

// Options are the arguments that begin with a dash; any the program does not
// know is refused, so a mistyped option never starts a relay. Plain
// arguments after the first are ignored.
CommandLine ParseCommandLine(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const struct {
    const char* name;
    bool CommandLine::*flag;
  } flags[] = {
      {"--headless", &CommandLine::headless},
      {"--help", &CommandLine::help},
      {"--version", &CommandLine::version},
      {"--install-autostart", &CommandLine::installAutostart},
      {"--remove-autostart", &CommandLine::removeAutostart},
  };
  const std::string dataDirPrefix = std::string(kDataDirOption) + "=";
  CommandLine line;
  bool commandSeen = false;
  bool dataDirSeen = false;
  for (std::size_t i = 0; i < args.size() && line.error.empty(); ++i) {
    const std::string& arg = args[i];
    if (arg == kDataDirOption || arg.rfind(dataDirPrefix, 0) == 0) {
      std::string folder;
      if (arg != kDataDirOption) {
        folder = arg.substr(dataDirPrefix.size());
      } else if (i + 1 < args.size()) {
        folder = args[++i];
      }
      if (folder.empty()) line.error = std::string("option '") + kDataDirOption + "' needs a folder";
      if (!dataDirSeen) line.dataDir = folder;
      dataDirSeen = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      bool known = false;
      for (const auto& option : flags) {
        if (arg != option.name) continue;
        line.*option.flag = true;
        known = true;
      }
      if (!known) line.error = "unknown option '" + arg + "'";
    } else if (!commandSeen) {
      line.command = arg;
      commandSeen = true;
    }
  }
  if (!dataDirSeen) line.dataDir = AppPaths::DataDirFrom({});
  if (line.error.empty() && line.installAutostart && line.removeAutostart)
    line.error = "'--install-autostart' and '--remove-autostart' exclude each other";
  return line;
}

void PrintHelp(const AppPaths& paths) {
  std::printf(
      "Usage: postwick [--headless] [--data-dir FOLDER] [open | close]\n"
      "       postwick --install-autostart | --remove-autostart\n"
      "       postwick --help | --version\n"
      "\n"
      "Relays mail from your mail program straight to each recipient's mail server.\n"
      "\n"
      "  open                 open the running Postwick's window, or start with it open\n"
      "  close                ask the running Postwick to exit\n"
      "  --headless           run without tray icon and windows, as on a server\n"
      "  --data-dir FOLDER    keep the settings, the log and the account store in FOLDER\n"
      "                       (also from the environment variable %s)\n"
      "  --install-autostart  start Postwick with your desktop session\n"
      "  --remove-autostart   no longer start it with your session\n"
      "  --help               show this help and exit\n"
      "  --version            show the version and exit\n"
      "\n"
      "Settings: %s\n"
      "Log:      %s\n",
      kDataDirVariable, paths.SettingsFile().c_str(), paths.LogFile().c_str());
}

void PrintVersion(const AppPaths& paths) {
  const ProductInfo product = LoadProductInfo(paths.ProductInfoFile());
  if (product.Version.empty()) {
    std::printf("postwick: version unknown (no product information in %s)\n",
                paths.ProductInfoFile().c_str());
    return;
  }
  std::printf("%s %s", product.ProductName.c_str(), product.Version.c_str());
  if (!product.VersionDate.empty()) std::printf(" (%s)", product.VersionDate.c_str());
  std::printf("\n");
  if (!product.Copyright.empty()) std::printf("%s\n", product.Copyright.c_str());
  if (!product.ProgPage.empty()) std::printf("%s\n", product.ProgPage.c_str());
}

// The options that only print or change a file and end, before anything
// could reach a running instance; nothing when the relay is to start.
std::optional<int> RunOneShotOption(const CommandLine& line, const AppPaths& paths) {
  if (line.help) {
    PrintHelp(paths);
    return 0;
  }
  if (line.version) {
    PrintVersion(paths);
    return 0;
  }
  if (line.installAutostart || line.removeAutostart) {
    const AutostartResult result =
        line.installAutostart
            ? InstallAutostart(paths.ExecutablePath(), line.dataDir.empty() ? "" : paths.FilesFolder())
            : RemoveAutostart();
    std::fprintf(result.ok ? stdout : stderr, "%s\n", result.message.c_str());
    return result.ok ? 0 : 1;
  }
  return std::nullopt;
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
  if (!commandLine.error.empty()) {
    std::fprintf(stderr, "postwick: %s\nTry 'postwick --help' for the options.\n", commandLine.error.c_str());
    return 2;
  }
  const AppPaths paths = AppPaths::Locate(AppPaths::CurrentExecutablePath(), commandLine.dataDir);
  if (const std::optional<int> exitCode = RunOneShotOption(commandLine, paths)) return *exitCode;
  if (!commandLine.headless && !DisplayAvailable()) {
    std::fprintf(stderr, "No display found: Postwick runs headless.\n");
    commandLine.headless = true;
  }

  // Module initialisation, before any window exists.
  TDummyForm::Environment env;
  // An installed program's user folders may not exist yet on a fresh
  // account; without them the log and the settings could not be saved.
  if (const std::string folder = paths.CreateUserFolders(); !folder.empty())
    std::fprintf(stderr, "Could not create the folder %s for the settings and the log.\n", folder.c_str());
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
    if (controller.Env().headless) {
      // Without a display there is no window to open; say so, so that an
      // "open" request visibly reached this instance.
      QObject::connect(&controller, &TDummyForm::showMainWindowRequested,
                       [] { std::fprintf(stderr, "Open: running headless, there is no window to show.\n"); });
      QObject::connect(&controller, &TDummyForm::sendErrorsWarningRequested, [] {
        std::fprintf(stderr,
                     "Warning: many sending errors one after another; outgoing port 25 may be blocked.\n");
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
