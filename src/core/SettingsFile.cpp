// The key=value line file shared by the settings and product information.
#include "core/SettingsFile.h"

#include "platform/AsciiText.h"
#include "platform/TextFile.h"

bool SettingsFile::Load(const std::string& path) {
  std::string text;
  const bool complete = os::ReadWholeFile(path, text);
  lines_ = os::SplitLines(text);
  return complete;
}

void SettingsFile::SetText(const std::string& text) { lines_ = os::SplitLines(text); }

bool SettingsFile::Save(const std::string& path) const {
  return os::WriteFileAtomically(path, os::JoinLines(lines_));
}

long SettingsFile::Find(const std::string& key) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto equals = lines_[i].find('=');
    if (equals != std::string::npos && ascii::EqualNoCase(lines_[i].substr(0, equals), key)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

std::string SettingsFile::Value(const std::string& key) const {
  const long index = Find(key);
  if (index < 0) return {};
  const std::string& line = lines_[static_cast<std::size_t>(index)];
  return line.substr(line.find('=') + 1);
}

bool SettingsFile::Has(const std::string& key) const { return Find(key) >= 0; }

void SettingsFile::SetValue(const std::string& key, const std::string& value) {
  const long index = Find(key);
  if (index < 0) {
    lines_.push_back(key + "=" + value);
  } else {
    lines_[static_cast<std::size_t>(index)] = key + "=" + value;
  }
}
