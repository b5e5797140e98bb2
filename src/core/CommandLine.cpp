#include "core/CommandLine.h"

#include <cstdlib>

#include "core/AppPaths.h"

namespace {

bool VariableSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
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
  return VariableSet("QT_QPA_PLATFORM") || std::getenv("DISPLAY") != nullptr ||
         std::getenv("WAYLAND_DISPLAY") != nullptr;
}

StartStep StartStepFor(const std::string& command, bool anotherInstanceRuns) {
  if (command == "close") return StartStep::Close;
  if (command == "open") return anotherInstanceRuns ? StartStep::HandOverOpen : StartStep::RunAndOpen;
  return anotherInstanceRuns ? StartStep::HandOverRestore : StartStep::Run;
}
