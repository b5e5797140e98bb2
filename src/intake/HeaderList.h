// An ordered list of raw header lines ("Name: value" lines and their
// continuation lines), with lookup that unfolds and setting that folds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "intake/LineStore.h"

class THeaderList {
 public:
  static constexpr std::size_t kFoldAt = 78;

  LineStore Lines;

  // Value of the first line with this name (case ignored, blanks before the
  // colon ignored), continuation lines joined by one space, trimmed. Empty
  // when the header is missing.
  std::string GetValue(std::string_view name) const;

  // Sets a header as the writer of relayed messages does: a non-empty value
  // replaces the first line with that name (and its continuation lines) or is
  // appended; an empty value removes the header with its continuation lines.
  // The new lines are FoldHeader's.
  void SetValue(std::string_view name, const std::string& value);

  // Index of the first line with this name, or -1.
  int IndexOfName(std::string_view name) const;
};

// A line that begins with a blank continues the header line before it.
bool IsContinuationLine(std::string_view line);

// The name of a header line: the text before its first colon, without the
// blanks the obsolete syntax allows before the colon ("Bcc :" is Bcc). Empty
// for continuation lines and lines without a colon.
std::string_view HeaderLineName(std::string_view line);

bool HeaderLineHasName(std::string_view line, std::string_view name);

// "Name: value" as physical lines, folded where a line would pass kFoldAt
// characters. A fold goes only before a single blank that stands between two
// other characters, and never inside a quoted string of a structured header,
// so unfolding (removing the line break, or joining trimmed lines by one
// space) gives back the value exactly. A value without such a blank stays
// long. Line breaks inside the value become continuation lines, so a value
// can never end the header or start another header.
std::vector<std::string> FoldHeader(std::string_view name, std::string_view value);
