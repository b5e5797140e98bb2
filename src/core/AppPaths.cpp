// File locations derived from the executable's path and the data folder.
#include "core/AppPaths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/ProductInfoFile.h"
#include "platform/AsciiText.h"

namespace {

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

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

AppPaths::AppPaths(std::string executablePath, std::string dataDir)
    : executablePath_(std::move(executablePath)), dataDir_(dataDir.empty() ? dataDir : Absolute(dataDir)) {}

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
  return AppPaths(CurrentExecutablePath(), DataDirFrom(args));
}

std::string AppPaths::ExecutableFolder() const { return FolderOf(executablePath_); }

std::string AppPaths::FilesFolder() const { return dataDir_.empty() ? ExecutableFolder() : dataDir_; }

std::string AppPaths::WithExtension(const std::string& extension) const {
  std::string name = NameOf(executablePath_);
  if (name.size() >= 4 && ascii::EqualNoCase(name.substr(name.size() - 4), ".exe"))
    name = ascii::DropLast(name, 4);
  return Join(FilesFolder(), name + extension);
}

std::string AppPaths::SettingsFile() const { return WithExtension(".opt"); }

std::string AppPaths::LogFile() const { return WithExtension(".log"); }

std::string AppPaths::ProductInfoFile() const { return Join(ExecutableFolder(), kProductInfoFileName); }

std::string AppPaths::HelpFolder() const { return Join(ExecutableFolder(), "help"); }

std::string AppPaths::AccountStoreFile() const {
  constexpr const char* kStoreName = "accounts.reg";
  if (!dataDir_.empty()) return Join(dataDir_, kStoreName);
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty() && !Environment("HOME").empty()) config = Join(Environment("HOME"), ".config");
  if (config.empty()) return Join(ExecutableFolder(), kStoreName);
  return Join(Join(config, "postwick"), kStoreName);
}
