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
