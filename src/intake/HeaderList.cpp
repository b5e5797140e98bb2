// Raw header lines: lookup with unfolding, and setting with folding.
#include "intake/HeaderList.h"

#include "platform/AsciiText.h"

namespace {

bool IsBlankOnly(std::string_view text) {
  for (char c : text)
    if (!ascii::IsBlank(c)) return false;
  return true;
}

// Unstructured values are plain text: a double quote in them opens nothing.
bool IsUnstructured(std::string_view name) {
  return ascii::EqualNoCase(name, "Subject") || ascii::EqualNoCase(name, "Organization") ||
         ascii::EqualNoCase(name, "Comments");
}

// Where the physical line that starts at `lineStart` may be broken: the
// last fold point that keeps it within kFoldAt characters, else the first one
// beyond; npos when there is none. `from` is where the search starts; the
// text from there on begins outside any quoted string.
std::size_t FindFold(std::string_view text, std::size_t lineStart, std::size_t from, bool structured) {
  std::size_t best = std::string_view::npos;
  bool quoted = false;
  for (std::size_t p = from; p + 1 < text.size(); ++p) {
    const char c = text[p];
    if (quoted) {
      if (c == '\\') {
        ++p;
      } else if (c == '"') {
        quoted = false;
      }
      continue;
    }
    if (c == '"' && structured) {
      quoted = true;
      continue;
    }
    const bool foldPoint =
        c == ' ' && p > from && !ascii::IsBlank(text[p - 1]) && !ascii::IsBlank(text[p + 1]);
    if (!foldPoint) continue;
    if (p - lineStart > THeaderList::kFoldAt) return best != std::string_view::npos ? best : p;
    best = p;
  }
  return best;
}

// Folds one line of the value into physical lines; `textStart` is where its
// text begins (after "Name: " or a continuation's blanks). Each fold leaves
// the blank at the start of the next line.
void FoldLine(std::string_view line, std::size_t textStart, bool structured, std::vector<std::string>& out) {
  std::size_t lineStart = 0;
  std::size_t from = textStart;
  while (line.size() - lineStart > THeaderList::kFoldAt) {
    const std::size_t fold = FindFold(line, lineStart, from, structured);
    if (fold == std::string_view::npos) break;
    out.emplace_back(line.substr(lineStart, fold - lineStart));
    lineStart = fold;
    from = fold + 1;
  }
  out.emplace_back(line.substr(lineStart));
}

// The value split at its line breaks (CR LF, CR or LF).
std::vector<std::string_view> SplitAtLineBreaks(std::string_view value) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\r' && value[i] != '\n') continue;
    pieces.push_back(value.substr(start, i - start));
    if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
    start = i + 1;
  }
  pieces.push_back(value.substr(start));
  return pieces;
}

void TrimRightInPlace(std::string& text) {
  while (!text.empty() && ascii::IsSpaceOrControl(text.back())) text.pop_back();
}

}  // namespace

bool IsContinuationLine(std::string_view line) { return !line.empty() && ascii::IsBlank(line[0]); }

std::string_view HeaderLineName(std::string_view line) {
  if (IsContinuationLine(line)) return {};
  std::size_t end = line.find(':');
  if (end == std::string_view::npos) return {};
  while (end > 0 && ascii::IsBlank(line[end - 1])) --end;
  return line.substr(0, end);
}

bool HeaderLineHasName(std::string_view line, std::string_view name) {
  const std::string_view lineName = HeaderLineName(line);
  return !lineName.empty() && ascii::EqualNoCase(lineName, name);
}

std::vector<std::string> FoldHeader(std::string_view name, std::string_view value) {
  const bool structured = !IsUnstructured(name);
  const std::vector<std::string_view> pieces = SplitAtLineBreaks(value);
  std::vector<std::string> out;
  std::string first(name);
  first += ": ";
  first += pieces[0];
  FoldLine(first, name.size() + 2, structured, out);
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    if (IsBlankOnly(pieces[i])) continue;
    std::string line = ascii::IsBlank(pieces[i][0]) ? std::string(pieces[i]) : " " + std::string(pieces[i]);
    std::size_t textStart = 0;
    while (ascii::IsBlank(line[textStart])) ++textStart;
    FoldLine(line, textStart, structured, out);
  }
  return out;
}

int THeaderList::IndexOfName(std::string_view name) const {
  int index = 0;
  for (std::string_view line : Lines) {
    if (HeaderLineHasName(line, name)) return index;
    ++index;
  }
  return -1;
}

// Each continuation line is added as "value so far, trimmed, one space, the
// line trimmed"; trimming only the end of the value so far and the whole
// result at the end gives the same text in linear time.
std::string THeaderList::GetValue(std::string_view name) const {
  auto line = Lines.begin();
  while (line != Lines.end() && !HeaderLineHasName(*line, name)) ++line;
  if (line == Lines.end()) return {};
  std::string value(line->substr(line->find(':') + 1));
  for (++line; line != Lines.end() && IsContinuationLine(*line); ++line) {
    TrimRightInPlace(value);
    value += ' ';
    value += ascii::TrimSpacesAndControls(*line);
  }
  return ascii::TrimSpacesAndControls(value);
}

void THeaderList::SetValue(std::string_view name, const std::string& value) {
  LineStore result;
  bool found = false;
  bool dropping = false;  // continuation lines of the replaced header
  auto add = [&] {
    if (value.empty()) return;
    for (const std::string& line : FoldHeader(name, value)) result.push_back(line);
  };
  for (std::string_view line : Lines) {
    if (dropping && IsContinuationLine(line)) continue;
    dropping = false;
    if (!found && HeaderLineHasName(line, name)) {
      found = dropping = true;
      add();
      continue;
    }
    result.push_back(line);
  }
  if (!found) add();
  Lines = std::move(result);
}
