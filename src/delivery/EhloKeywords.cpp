#include "delivery/EhloKeywords.h"

#include "platform/AsciiText.h"

namespace {

bool IsKeywordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

}  // namespace

EhloKeywords EhloKeywords::Parse(const std::vector<std::string>& textLines) {
  EhloKeywords result;
  for (std::size_t i = 1; i < textLines.size(); ++i) {
    const std::string& line = textLines[i];
    std::size_t end = 0;
    while (end < line.size() && IsKeywordChar(line[end])) ++end;
    // A keyword starts with a letter or digit and ends at a blank or the
    // end of the line; "AUTH=LOGIN" and the like are not keywords.
    if (end == 0 || line[0] == '-' || (end < line.size() && line[end] != ' ')) continue;
    const std::size_t parameters = line.find_first_not_of(' ', end);
    result.keywords_.emplace(ascii::ToUpper(std::string_view(line).substr(0, end)),
                             parameters == std::string::npos ? std::string() : line.substr(parameters));
  }
  return result;
}

bool EhloKeywords::Has(std::string_view keyword) const {
  return keywords_.find(ascii::ToUpper(keyword)) != keywords_.end();
}

std::string EhloKeywords::Parameters(std::string_view keyword) const {
  const auto found = keywords_.find(ascii::ToUpper(keyword));
  return found == keywords_.end() ? std::string() : found->second;
}
