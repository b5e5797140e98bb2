// Thunderbird's prefs.js as lines: the user_pref("name", value); lines are
// understood, every other line (comments, blank lines, anything else) is
// kept as it is. Changing a pref rewrites only the value inside its own line
// or appends a line, so the rest of the file stays byte for byte.
#pragma once

#include <optional>
#include <string>
#include <vector>

class ThunderbirdPrefs {
 public:
  explicit ThunderbirdPrefs(const std::string& text);

  // The value as written in the file: "\"text\"" with its quotes, "25",
  // "true". When a name occurs twice the later line counts, as it does for
  // Thunderbird.
  std::optional<std::string> Token(const std::string& name) const;
  // A string value decoded; nullopt when missing or not a string.
  std::optional<std::string> String(const std::string& name) const;
  // An integer value; nullopt when missing or not an integer.
  std::optional<long long> Integer(const std::string& name) const;

  // Replaces the value in the pref's line, or appends a line for it.
  void SetToken(const std::string& name, const std::string& token);
  void SetString(const std::string& name, const std::string& text);
  void SetInteger(const std::string& name, long long number);
  // Removes every line of the pref; false when there was none.
  bool Remove(const std::string& name);

  std::string Text() const;

  // A string value as prefs.js writes it, quotes included.
  static std::string Quote(const std::string& text);
  // A quoted string token decoded (\\ \" \n \r \t \xHH \uHHHH); nullopt
  // when the token is not a well-formed string.
  static std::optional<std::string> Unquote(const std::string& token);

 private:
  struct Line {
    std::string text;  // with its line ending
    bool isPref = false;
    std::string name;
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;
  };
  static Line ParseLine(std::string text);
  Line* LastLineOf(const std::string& name);
  const Line* LastLineOf(const std::string& name) const;

  std::vector<Line> lines_;
  std::string newline_ = "\n";
};
