#include "core/CommandLine.h"

#include <cstdio>
#include <cstdlib>

#include "core/AppPaths.h"
#include "core/Autostart.h"
#include "core/ProductInfoFile.h"

namespace {

void PrintHelp(const AppPaths& paths) {
  std::printf(
      "Usage: postwick [--headless] [--verbose] [--data-dir FOLDER] [open | close]\n"
      "       postwick --install-autostart | --remove-autostart\n"
      "       postwick --help | --version\n"
      "\n"
      "Relays mail from your mail program straight to each recipient's mail server.\n"
      "\n"
      "  open                 open the running Postwick's window, or start with it open\n"
      "  close                ask the running Postwick to exit\n"
      "  --headless           run without tray icon and windows, as on a server\n"
      "  --verbose            a line on standard error for every delivered copy,\n"
      "                       saying whether it went encrypted, and the messages\n"
      "                       of the Qt libraries\n"
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

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  const struct {
    const char* name;
    bool CommandLine::*flag;
  } flags[] = {
      {"--headless", &CommandLine::headless},
      {"--help", &CommandLine::help},
      {"--verbose", &CommandLine::verbose},
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

std::optional<int> RunOneShotOption(const CommandLine& line, const AppPaths& paths) {
  if (!line.error.empty()) {
    std::fprintf(stderr, "postwick: %s\nTry 'postwick --help' for the options.\n", line.error.c_str());
    return kRefusedArgumentsExitCode;
  }
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

StartStep StartStepFor(const std::string& command, bool anotherInstanceRuns) {
  if (command == "close") return StartStep::Close;
  if (command == "open") return anotherInstanceRuns ? StartStep::HandOverOpen : StartStep::RunAndOpen;
  return anotherInstanceRuns ? StartStep::HandOverRestore : StartStep::Run;
}
