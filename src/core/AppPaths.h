// Where the program's files live: the settings (".opt") and the operation log
// (".log") beside the executable unless a data folder (--data-dir DIR or
// POSTWICK_DATA_DIR) moves them, for users whose executable folder is not
// writable and for tests; the product information and the help pages, which
// ship with the program, always beside the executable.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kDataDirOption = "--data-dir";
inline constexpr const char* kDataDirVariable = "POSTWICK_DATA_DIR";

class AppPaths {
 public:
  // executablePath: the program's full path. dataDir: empty to keep the files
  // beside the executable; a relative folder is made absolute now, so a later
  // change of the current directory does not move the files.
  explicit AppPaths(std::string executablePath, std::string dataDir = {});

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

  const std::string& ExecutablePath() const { return executablePath_; }
  std::string ExecutableFolder() const;
  // The folder that holds the files below: the data folder, or the executable's.
  std::string FilesFolder() const;

  // The executable's name with ".exe" replaced by ".opt" where it ends so,
  // else with ".opt" appended ("postwick" gives "postwick.opt").
  std::string SettingsFile() const;
  std::string LogFile() const;          // likewise with ".log"
  std::string ProductInfoFile() const;  // "Postwick.sys"
  // Shipped with the program, so always beside the executable, whatever
  // the data folder: "Postwick.sys" and the folder of help pages.
  std::string HelpFolder() const;
  // The mail program account store: "accounts.reg" in the data folder when
  // one is given, else in $XDG_CONFIG_HOME/postwick (or ~/.config/postwick).
  std::string AccountStoreFile() const;

 private:
  std::string WithExtension(const std::string& extension) const;

  std::string executablePath_;
  std::string dataDir_;
};
