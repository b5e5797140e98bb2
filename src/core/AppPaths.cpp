// File locations derived from the executable's path, the install marker,
// the data folder and the user's XDG folders.
#include "core/AppPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/ProductInfoFile.h"
#include "platform/AsciiText.h"

// The installed data folder seen from the installed executable's folder;
// the build sets it from the install directories.
#ifndef POSTWICK_INSTALLED_DATA_FROM_BIN
#define POSTWICK_INSTALLED_DATA_FROM_BIN "../share/postwick"
#endif

namespace {

constexpr const char* kProgramFolderName = "postwick";

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
  return (!folder.empty() && folder.back() == '/') ? folder + name : folder + "/" + name;
}

std::string Absolute(const std::string& folder) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(folder, error);
  return error ? folder : absolute.lexically_normal().string();
}

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// $HOME, else the home folder of the account; the current folder when
// neither is known, so the files still land somewhere the user chose.
std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (home.empty()) {
    if (const passwd* account = ::getpwuid(::getuid()); account != nullptr && account->pw_dir != nullptr)
      home = account->pw_dir;
  }
  return home.empty() ? Absolute(".") : home;
}

// An XDG base directory variable counts only when it holds an absolute path;
// an empty, unset or relative one gives the default below the home folder.
std::string XdgFolder(const char* variable, const char* defaultBelowHome) {
  const std::string value = Environment(variable);
  if (!value.empty() && value.front() == '/') return WithoutTrailingSlash(value);
  return Join(HomeFolder(), defaultBelowHome);
}

}  // namespace

AppPaths::AppPaths(std::string executablePath, std::string dataDir)
    : executablePath_(std::move(executablePath)),
      dataDir_(dataDir.empty() ? dataDir : WithoutTrailingSlash(Absolute(dataDir))) {
  settingsFolder_ = dataDir_.empty() ? ExecutableFolder() : dataDir_;
  logFolder_ = settingsFolder_;
  shippedFolder_ = ExecutableFolder();
}

AppPaths AppPaths::Locate(const std::string& executablePath, const std::string& dataDir) {
  const std::string installedData = InstalledDataFolderFor(executablePath);
  std::error_code error;
  if (!std::filesystem::is_regular_file(Join(installedData, kInstalledMarkerName), error))
    return AppPaths(executablePath, dataDir);

  AppPaths paths;
  paths.layout_ = Layout::Installed;
  paths.executablePath_ = executablePath;
  paths.shippedFolder_ = installedData;
  if (!dataDir.empty()) {
    paths.dataDir_ = WithoutTrailingSlash(Absolute(dataDir));
    paths.settingsFolder_ = paths.dataDir_;
    paths.logFolder_ = paths.dataDir_;
  } else {
    paths.settingsFolder_ = Join(UserConfigHome(), kProgramFolderName);
    paths.logFolder_ = Join(UserStateHome(), kProgramFolderName);
  }
  return paths;
}

std::string AppPaths::CurrentExecutablePath() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::string AppPaths::DataDirFrom(const std::vector<std::string>& args) {
  const std::string prefix = std::string(kDataDirOption) + "=";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == kDataDirOption && i + 1 < args.size()) return args[i + 1];
    if (args[i].rfind(prefix, 0) == 0) return args[i].substr(prefix.size());
  }
  return Environment(kDataDirVariable);
}

std::vector<std::string> AppPaths::WithoutDataDirOption(const std::vector<std::string>& args) {
  const std::string prefix = std::string(kDataDirOption) + "=";
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == kDataDirOption) {
      ++i;  // and its value
    } else if (args[i].rfind(prefix, 0) != 0) {
      rest.push_back(args[i]);
    }
  }
  return rest;
}

AppPaths AppPaths::ForThisProcess(const std::vector<std::string>& args) {
  return Locate(CurrentExecutablePath(), DataDirFrom(args));
}

std::string AppPaths::InstalledDataFolderFor(const std::string& executablePath) {
  const std::filesystem::path folder =
      std::filesystem::path(FolderOf(executablePath)) / POSTWICK_INSTALLED_DATA_FROM_BIN;
  return WithoutTrailingSlash(folder.lexically_normal().string());
}

std::string AppPaths::UserConfigHome() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string AppPaths::UserStateHome() { return XdgFolder("XDG_STATE_HOME", ".local/state"); }

std::string AppPaths::ExecutableFolder() const { return FolderOf(executablePath_); }

std::vector<std::string> AppPaths::UserFolders() const {
  if (layout_ == Layout::BesideExecutable && dataDir_.empty()) return {};
  if (settingsFolder_ == logFolder_) return {settingsFolder_};
  return {settingsFolder_, logFolder_};
}

std::string AppPaths::CreateUserFolders() const {
  for (const std::string& folder : UserFolders()) {
    // Settings and log are the user's business alone; parents made on the
    // way (~/.local/state on a fresh account) get the same mode.
    std::filesystem::path partial;
    for (const auto& part : std::filesystem::path(folder)) {
      partial /= part;
      if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) break;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return folder;
  }
  return {};
}

std::string AppPaths::WithExtension(const std::string& folder, const std::string& extension) const {
  std::string name = NameOf(executablePath_);
  if (name.size() >= 4 && ascii::EqualNoCase(name.substr(name.size() - 4), ".exe"))
    name = ascii::DropLast(name, 4);
  return Join(folder, name + extension);
}

std::string AppPaths::SettingsFile() const { return WithExtension(settingsFolder_, ".opt"); }

std::string AppPaths::LogFile() const { return WithExtension(logFolder_, ".log"); }

std::string AppPaths::ProductInfoFile() const { return Join(shippedFolder_, kProductInfoFileName); }

std::string AppPaths::HelpFolder() const { return Join(shippedFolder_, "help"); }

std::string AppPaths::AccountStoreFile() const {
  constexpr const char* kStoreName = "accounts.reg";
  if (!dataDir_.empty()) return Join(dataDir_, kStoreName);
  return Join(Join(UserConfigHome(), kProgramFolderName), kStoreName);
}
