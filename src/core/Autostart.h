// Starting Postwick with the user's desktop session: a desktop entry in the
// user's autostart folder ($XDG_CONFIG_HOME/autostart, default
// ~/.config/autostart) that runs this executable, with this run's data
// folder when one is given.
#pragma once

#include <string>

// The entry's file name, the application's desktop file name.
inline constexpr const char* kAutostartEntryName = "org.example.postwick.desktop";

// Where the entry goes for the current user.
std::string AutostartEntryPath();

// The entry's text for an executable and an optional data folder; empty when
// a path holds a control character, which an entry cannot carry.
std::string AutostartEntryText(const std::string& executable, const std::string& dataDir);

// One argument of the entry's Exec line, quoted and escaped as desktop
// entries require.
std::string ExecArgument(const std::string& argument);

struct AutostartResult {
  bool ok = false;
  std::string message;  // for standard output when ok, else for standard error
};

// Writes the entry (creating the autostart folder) or replaces it.
AutostartResult InstallAutostart(const std::string& executable, const std::string& dataDir);
// Removes the entry; an entry that is not there is no failure.
AutostartResult RemoveAutostart();
