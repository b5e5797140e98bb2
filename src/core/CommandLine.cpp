#include "core/CommandLine.h"

#include <cstdlib>

#include "core/AppPaths.h"

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

StartStep StartStepFor(const std::string& command, bool anotherInstanceRuns) {
  if (command == "close") return StartStep::Close;
  if (command == "open") return anotherInstanceRuns ? StartStep::HandOverOpen : StartStep::RunAndOpen;
  return anotherInstanceRuns ? StartStep::HandOverRestore : StartStep::Run;
}
