// Raw header lines: lookup with unfolding, and setting with folding.
#include "intake/HeaderList.h"

#include "platform/AsciiText.h"

namespace {

bool IsContinuation(std::string_view line) { return !line.empty() && ascii::IsBlank(line[0]); }

bool IsBreak(char c) { return ascii::IsBlank(c) || c == ','; }

// Where a line may be broken: at a blank or TAB (which then opens the
// continuation line) or just after a comma. Prefers the last place that
// keeps the head within the limit, else the first one beyond it. Only
// places after `min` count, so a head never ends up empty.
std::size_t FindBreak(std::string_view line, std::size_t min) {
  std::size_t best = std::string_view::npos;
  for (std::size_t p = min; p < line.size(); ++p) {
    if (!IsBreak(line[p])) continue;
    const std::size_t headLength = line[p] == ',' ? p + 1 : p;
    if (headLength > THeaderList::kFoldAt && best != std::string_view::npos) break;
    best = p;
    if (headLength > THeaderList::kFoldAt) break;
  }
  return best;
}

std::size_t FirstNonBlank(std::string_view line, std::size_t from) {
  while (from < line.size() && ascii::IsBlank(line[from])) ++from;
  return from;
}

bool IsBlankOnly(std::string_view text) { return FirstNonBlank(text, 0) == text.size(); }

// Folds one physical line; `start` is where its text begins (after
// "Name: " on the first line).
void FoldInto(std::string line, std::size_t start, std::vector<std::string>& out) {
  while (line.size() > THeaderList::kFoldAt) {
    const std::size_t p = FindBreak(line, FirstNonBlank(line, start) + 1);
    if (p == std::string::npos) break;
    const std::size_t cut = line[p] == ',' ? p + 1 : p;
    std::string tail = line.substr(cut);
    if (IsBlankOnly(tail)) break;
    if (!ascii::IsBlank(tail[0])) tail.insert(0, 1, ' ');
    out.push_back(line.substr(0, cut));
    line = std::move(tail);
    start = 0;
  }
  out.push_back(std::move(line));
}

// Line breaks inside a value would end the header early (or start a new
// header): each further piece becomes a continuation line instead.
std::vector<std::string> SplitAtLineBreaks(const std::string& value) {
  std::vector<std::string> pieces(1);
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  return pieces;
}

std::vector<std::string> HeaderLines(std::string_view name, const std::string& value) {
  std::vector<std::string> out;
  const std::vector<std::string> pieces = SplitAtLineBreaks(value);
  FoldInto(std::string(name) + ": " + pieces[0], name.size() + 2, out);
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    if (IsBlankOnly(pieces[i])) continue;
    FoldInto(ascii::IsBlank(pieces[i][0]) ? pieces[i] : " " + pieces[i], 0, out);
  }
  return out;
}

}  // namespace

int THeaderList::IndexOfName(std::string_view name) const {
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    const std::string& line = Lines[i];
    if (IsContinuation(line)) continue;
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && ascii::EqualNoCase(std::string_view(line).substr(0, colon), name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::string THeaderList::GetValue(std::string_view name) const {
  const int index = IndexOfName(name);
  if (index < 0) return {};
  std::string value = Lines[index].substr(Lines[index].find(':') + 1);
  for (std::size_t i = index + 1; i < Lines.size() && IsContinuation(Lines[i]); ++i) {
    value = ascii::TrimSpacesAndControls(value) + ' ' + ascii::TrimSpacesAndControls(Lines[i]);
  }
  return ascii::TrimSpacesAndControls(value);
}

void THeaderList::SetValue(std::string_view name, const std::string& value) {
  const int index = IndexOfName(name);
  auto position = Lines.end();
  if (index >= 0) {
    auto first = Lines.begin() + index;
    auto last = first + 1;
    while (last != Lines.end() && IsContinuation(*last)) ++last;
    position = Lines.erase(first, last);
  }
  if (value.empty()) return;
  const std::vector<std::string> lines = HeaderLines(name, value);
  Lines.insert(position, lines.begin(), lines.end());
}
