// The autostart desktop entry: its text, and writing and removing it.
#include "core/Autostart.h"

#include <filesystem>
#include <system_error>

#include "core/AppPaths.h"
#include "platform/TextFile.h"

namespace {

bool HasControlCharacter(const std::string& text) {
  for (const unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

}  // namespace

std::string AutostartEntryPath() { return AppPaths::UserConfigHome() + "/autostart/" + kAutostartEntryName; }

std::string ExecArgument(const std::string& argument) {
  // Characters that make the Exec field quote an argument; inside quotes,
  // these four take a backslash.
  constexpr const char* kReserved = " \t\"'\\><~|&;$*?#()`";
  std::string word;
  const bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
  for (const char c : argument) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) word += '\\';
    word += c;
    if (c == '%') word += '%';  // a literal percent sign is doubled (field codes start with one)
  }
  if (quote) word = "\"" + word + "\"";
  // The value of a desktop entry key is itself escaped: a backslash is doubled.
  std::string escaped;
  for (const char c : word) {
    escaped += c;
    if (c == '\\') escaped += '\\';
  }
  return escaped;
}

std::string AutostartEntryText(const std::string& executable, const std::string& dataDir) {
  if (HasControlCharacter(executable) || HasControlCharacter(dataDir)) return {};
  std::string exec = ExecArgument(executable);
  if (!dataDir.empty()) exec += std::string(" ") + kDataDirOption + " " + ExecArgument(dataDir);
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Postwick\n"
         "Comment=Outgoing mail relay, started with the session\n"
         "Exec=" +
         exec +
         "\n"
         "Icon=org.example.postwick\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

AutostartResult InstallAutostart(const std::string& executable, const std::string& dataDir) {
  const std::string path = AutostartEntryPath();
  const std::string text = AutostartEntryText(executable, dataDir);
  if (text.empty()) return {false, "Cannot write an autostart entry for a path with control characters."};
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  if (error || !os::WriteFileAtomically(path, text))
    return {false, "Could not write the autostart entry " + path + "."};
  return {true, "Postwick will start with your session: wrote " + path};
}

AutostartResult RemoveAutostart() {
  const std::string path = AutostartEntryPath();
  std::error_code error;
  if (std::filesystem::remove(path, error))
    return {true, "Postwick will no longer start with your session: removed " + path};
  if (error) return {false, "Could not remove the autostart entry " + path + ": " + error.message() + "."};
  return {true, "There was no autostart entry at " + path + "."};
}
