// Feeds arbitrary EHLO reply text to the keyword parser and checks what must
// always hold: every keyword is a well-formed upper-case word that can be
// found again, and its parameters start with no blank.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "delivery/EhloKeywords.h"

namespace {

bool WellFormed(const std::string& keyword) {
  if (keyword.empty() || keyword[0] == '-') return false;
  for (char c : keyword)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-')) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Text lines as the client keeps them: cut at LF.
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n')
      lines.emplace_back();
    else
      lines.back() += static_cast<char>(data[i]);
  }
  const EhloKeywords keywords = EhloKeywords::Parse(lines);
  if (!keywords.All().empty() && keywords.All().size() >= lines.size()) std::abort();
  for (const auto& [keyword, parameters] : keywords.All()) {
    if (!WellFormed(keyword) || !keywords.Has(keyword) || keywords.Parameters(keyword) != parameters)
      std::abort();
    if (!parameters.empty() && parameters[0] == ' ') std::abort();
  }
  return 0;
}
