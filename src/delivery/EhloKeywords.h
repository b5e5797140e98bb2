// The service extensions an exchanger names in its reply to EHLO: each line
// after the first starts with a keyword (letters, digits, "-") that may be
// followed by a blank and parameters.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

class EhloKeywords {
 public:
  EhloKeywords() = default;
  // textLines: the reply's text lines (each line from its fifth character).
  // The first names the server and is skipped; lines that do not start with
  // a well-formed keyword are ignored.
  static EhloKeywords Parse(const std::vector<std::string>& textLines);

  // keyword in any case.
  bool Has(std::string_view keyword) const;
  // The parameters after the keyword, "" when it has none or is missing.
  std::string Parameters(std::string_view keyword) const;
  // Keywords in upper case with their parameters.
  const std::map<std::string, std::string, std::less<>>& All() const { return keywords_; }

 private:
  std::map<std::string, std::string, std::less<>> keywords_;
};
