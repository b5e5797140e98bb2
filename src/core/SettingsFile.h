// A key=value text file as the settings and product information files keep
// it: lines in file order, keys found ignoring letter case, the first line of
// a key counting, lines without "=" ignored but kept.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class SettingsFile {
 public:
  // A settings file is a few lines; of a larger file only this much is read,
  // so a huge or stray file cannot hold up the start or fill the memory.
  static constexpr std::size_t kSizeLimit = 1024 * 1024;

  // Reads the file (CR, LF and CR LF end lines). False when it is missing or
  // unreadable; the list then holds what was read, or nothing. Of a file over
  // kSizeLimit only the whole lines within the limit count (Truncated()).
  bool Load(const std::string& path);
  bool Truncated() const { return truncated_; }
  // Replaces the lines by those of a text.
  void SetText(const std::string& text);
  void SetLines(std::vector<std::string> lines) { lines_ = std::move(lines); }
  // Writes every line ended by CR LF, atomically (temporary file and rename).
  bool Save(const std::string& path) const;

  // The value of the first line whose part before its first "=" equals the
  // key ignoring case: everything after that "=", untrimmed. Empty when absent.
  std::string Value(const std::string& key) const;
  bool Has(const std::string& key) const;
  // Replaces the first line of the key in place by key "=" value (the key as
  // spelled here), or appends such a line when the key is absent.
  void SetValue(const std::string& key, const std::string& value);

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  // Index of the key's first line, or -1.
  long Find(const std::string& key) const;

  std::vector<std::string> lines_;
  bool truncated_ = false;
};
