#include "core/ThunderbirdProfiles.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "platform/Fd.h"
#include "platform/TextFile.h"

namespace {

struct Section {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;
  std::string Value(const std::string& key) const {
    for (const auto& [k, v] : values) {
      if (k == key) return v;
    }
    return {};
  }
};

std::vector<Section> ParseIni(const std::string& text) {
  std::vector<Section> sections;
  for (const std::string& line : os::SplitLines(text)) {
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      sections.push_back(Section{line.substr(1, line.size() - 2), {}});
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos || sections.empty()) continue;
    sections.back().values.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  return sections;
}

bool LockSymlinkIsLive(const std::string& folder) {
  char target[256];
  const ssize_t length = ::readlink((folder + "/lock").c_str(), target, sizeof target);
  if (length < 0) return false;
  const std::string text(target, static_cast<std::size_t>(length));
  const std::size_t colon = text.rfind(':');
  std::string_view pidText =
      colon == std::string::npos ? std::string_view(text) : std::string_view(text).substr(colon + 1);
  if (!pidText.empty() && pidText.front() == '+') pidText.remove_prefix(1);
  long pid = 0;
  const auto [end, error] = std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid);
  if (error != std::errc() || end != pidText.data() + pidText.size() || pid <= 0) return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool ParentLockIsHeld(const std::string& folder) {
  const os::Fd file(::open((folder + "/.parentlock").c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) return false;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  if (::fcntl(file.get(), F_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

}  // namespace

std::vector<ThunderbirdProfile> ReadThunderbirdProfiles(const std::string& root) {
  std::string text;
  if (!os::ReadWholeFile(root + "/profiles.ini", text)) return {};
  std::vector<ThunderbirdProfile> profiles;
  for (const Section& section : ParseIni(text)) {
    if (section.name.rfind("Profile", 0) != 0) continue;
    const std::string path = section.Value("Path");
    if (path.empty()) continue;
    const bool relative = section.Value("IsRelative") == "1" || path.front() != '/';
    profiles.push_back(ThunderbirdProfile{section.Value("Name"), relative ? root + "/" + path : path});
  }
  return profiles;
}

bool ThunderbirdProfileInUse(const std::string& folder) {
  return LockSymlinkIsLive(folder) || ParentLockIsHeld(folder);
}
