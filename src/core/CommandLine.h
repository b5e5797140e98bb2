// The program's command line and what a start does with it: refuse it,
// print or change a file and end, run, or hand the request to the instance
// that already runs and end.
#pragma once

#include <optional>
#include <string>
#include <vector>

class AppPaths;

struct CommandLine {
  bool headless = false;          // --headless
  bool help = false;              // --help
  bool verbose = false;           // --verbose: delivered copies and Qt's messages on stderr
  bool version = false;           // --version
  bool installAutostart = false;  // --install-autostart
  bool removeAutostart = false;   // --remove-autostart
  std::string dataDir;            // --data-dir DIR, else POSTWICK_DATA_DIR, else empty
  // The first argument that is no option: "open", "close" or anything else
  // (compared exactly, so "Open" is no command).
  std::string command;
  std::string error;  // why the arguments were refused; empty when they were not
};

// The exit code of a start whose arguments were refused.
inline constexpr int kRefusedArgumentsExitCode = 2;

// args: the arguments after the program's name. Options are the arguments
// that begin with a dash; any the program does not know is refused, so a
// mistyped option never starts a relay. Plain arguments after the first are
// ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// For arguments that were refused or that only print or change a file
// (--help, --version, the autostart options): says why or does it, and
// gives the program's exit code. Nothing when the relay is to start. Runs
// before anything could reach a running instance.
std::optional<int> RunOneShotOption(const CommandLine& line, const AppPaths& paths);

// What a start does, from its command and whether another instance runs.
enum class StartStep {
  Close,            // ask the running instance (if any) to exit, wait, end
  HandOverOpen,     // ask the running instance to open its main window, end
  HandOverRestore,  // ask the running instance to come to the front, end
  Run,              // run this instance
  RunAndOpen,       // run this instance and open its main window once started
};

StartStep StartStepFor(const std::string& command, bool anotherInstanceRuns);
