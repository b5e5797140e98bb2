// An ordered list of raw header lines ("Name: value" lines and their
// continuation lines), with lookup that unfolds and setting that folds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class THeaderList {
 public:
  static constexpr std::size_t kFoldAt = 78;

  std::vector<std::string> Lines;

  // Value of the first line with this name (case ignored, name not
  // trimmed), continuation lines joined by one space, trimmed. Empty when
  // the header is missing.
  std::string GetValue(std::string_view name) const;

  // Sets a header as the writer of relayed messages does: a non-empty value
  // replaces the first line with that name (and its continuation lines) or is
  // appended; an empty value removes the header with its continuation lines.
  // The new line is "Name: value" folded at kFoldAt characters at a blank,
  // TAB or ",", continuation lines beginning with a blank.
  void SetValue(std::string_view name, const std::string& value);

  // Index of the first line with this name, or -1.
  int IndexOfName(std::string_view name) const;
};
