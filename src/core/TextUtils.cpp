// Small text helpers shared by the settings files, the log and the engine.
#include "core/TextUtils.h"

#include <cmath>

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string FlagToText(bool flag) { return flag ? "1" : "0"; }

bool TextToFlag(const std::string& text) { return text == "1"; }

std::string DropLast(const std::string& text, std::size_t n) {
  return n >= text.size() ? std::string() : text.substr(0, text.size() - n);
}

long long SecondsBetween(TDateTime a, TDateTime b) { return std::llround(std::fabs(a - b) * 86400.0); }

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string LowerCase(const std::string& text) {
  std::string result = text;
  for (char& c : result) c = LowerAscii(c);
  return result;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}
