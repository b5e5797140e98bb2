// The program's command line and what a start does with it: run, or hand
// the request to the instance that already runs and end.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
  bool headless = false;  // --headless
  bool verbose = false;   // --verbose: a line on standard error per delivered copy
  std::string dataDir;    // --data-dir DIR, else POSTWICK_DATA_DIR, else empty
  // The first argument that is no option: "open", "close" or anything else
  // (compared exactly, so "Open" is no command).
  std::string command;
};

// args: the arguments after the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// True when a window system can be reached (a Qt platform is named, or an
// X11 or Wayland display is set).
bool DisplayAvailable();

// What a start does, from its command and whether another instance runs.
enum class StartStep {
  Close,            // ask the running instance (if any) to exit, wait, end
  HandOverOpen,     // ask the running instance to open its main window, end
  HandOverRestore,  // ask the running instance to come to the front, end
  Run,              // run this instance
  RunAndOpen,       // run this instance and open its main window once started
};

StartStep StartStepFor(const std::string& command, bool anotherInstanceRuns);
