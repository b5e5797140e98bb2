// Where the program's files live. The rule, decided once at start and used
// for every file so that the two layouts are never mixed:
//
// - Installed: the install step writes the marker file "installed" into the
//   program's data folder, share/postwick beside the executable's bin folder
//   (/usr/bin/postwick finds /usr/share/postwick/installed). When that marker
//   exists, the executable's folder belongs to the system and is not the
//   user's: the settings ("postwick.opt") and the mail program account store
//   go to $XDG_CONFIG_HOME/postwick (default ~/.config/postwick), the log
//   ("postwick.log") to $XDG_STATE_HOME/postwick (default
//   ~/.local/state/postwick), and the product information and the help pages
//   come from share/postwick.
// - Beside the executable (a build tree, an unpacked folder): no marker; the
//   settings, the log, the product information and the help pages are all
//   beside the executable; the account store is in $XDG_CONFIG_HOME/postwick.
// - A data folder (--data-dir DIR or POSTWICK_DATA_DIR) wins over both for the
//   user's files: settings, log and account store all go there. The product
//   information and the help still come from where the program's layout puts
//   them, since they ship with the program.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kDataDirOption = "--data-dir";
inline constexpr const char* kDataDirVariable = "POSTWICK_DATA_DIR";

// The name of the marker file the install step writes into the data folder.
inline constexpr const char* kInstalledMarkerName = "installed";

class AppPaths {
 public:
  enum class Layout { BesideExecutable, Installed };

  // Paths for the layout beside the executable. executablePath: the
  // program's full path. dataDir: empty to keep the files beside the
  // executable; a relative folder is made absolute now, so a later change of
  // the current directory does not move the files.
  explicit AppPaths(std::string executablePath, std::string dataDir = {});

  // Paths for an executable whose layout is found by the rule above: the
  // marker decides, and XDG_CONFIG_HOME, XDG_STATE_HOME and HOME give the
  // user's folders of an installed program.
  static AppPaths Locate(const std::string& executablePath, const std::string& dataDir);
  // Paths for this process: its executable and the data folder that the
  // arguments or the environment name (DataDirFrom).
  static AppPaths ForThisProcess(const std::vector<std::string>& args);
  // The running executable's full path (/proc/self/exe); empty if unknown.
  static std::string CurrentExecutablePath();
  // "--data-dir DIR" or "--data-dir=DIR" among the arguments, else the
  // environment variable POSTWICK_DATA_DIR, else empty.
  static std::string DataDirFrom(const std::vector<std::string>& args);
  // The arguments without the data folder option and its value, so the
  // first remaining one can be checked for "open" and "close".
  static std::vector<std::string> WithoutDataDirOption(const std::vector<std::string>& args);

  // The installed data folder an executable would have: share/postwick
  // beside its bin folder, whether or not it exists.
  static std::string InstalledDataFolderFor(const std::string& executablePath);
  // The user's configuration and state folders by the XDG base directory
  // rules: the variable when it holds an absolute path, else ~/.config or
  // ~/.local/state ($HOME, or the home folder of the user's account).
  static std::string UserConfigHome();
  static std::string UserStateHome();

  Layout FileLayout() const { return layout_; }
  const std::string& ExecutablePath() const { return executablePath_; }
  std::string ExecutableFolder() const;
  // The folder of the settings file; it also names this set of files for
  // the single-instance rule.
  std::string FilesFolder() const { return settingsFolder_; }
  // The folders of the user's files that may not exist yet (the settings
  // folder, the log folder); empty when the files stay beside the executable.
  std::vector<std::string> UserFolders() const;
  // Creates the folders of UserFolders (and their parents) for the user
  // alone (mode 0700); the first folder that could not be made, else empty.
  std::string CreateUserFolders() const;

  // The executable's name with ".exe" replaced by ".opt" where it ends so,
  // else with ".opt" appended ("postwick" gives "postwick.opt").
  std::string SettingsFile() const;
  std::string LogFile() const;          // likewise with ".log", in the log folder
  std::string ProductInfoFile() const;  // "Postwick.sys" in the shipped folder
  std::string HelpFolder() const;       // "help" in the shipped folder
  // The mail program account store, "accounts.reg": in the data folder when
  // one is given, else in $XDG_CONFIG_HOME/postwick.
  std::string AccountStoreFile() const;

 private:
  AppPaths() = default;
  std::string WithExtension(const std::string& folder, const std::string& extension) const;

  Layout layout_ = Layout::BesideExecutable;
  std::string executablePath_;
  std::string dataDir_;
  std::string settingsFolder_;
  std::string logFolder_;
  std::string shippedFolder_;  // product information and help pages
};
