// Byte-string helpers shared by the engine.
#include "platform/AsciiText.h"

namespace ascii {

namespace {

template <typename Pred>
std::string TrimIf(std::string_view text, Pred pred) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && pred(text[begin])) ++begin;
  while (end > begin && pred(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace

std::string TrimSpacesAndControls(std::string_view text) { return TrimIf(text, IsSpaceOrControl); }
std::string TrimBlanks(std::string_view text) { return TrimIf(text, IsBlank); }
std::string TrimSpaces(std::string_view text) {
  return TrimIf(text, [](char c) { return c == ' '; });
}

std::string ToUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = Upper(c);
  return result;
}

std::string ToLower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = Lower(c);
  return result;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (EqualNoCase(text.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

std::string FlagToText(bool flag) { return flag ? "1" : "0"; }

bool TextToFlag(std::string_view text) { return text == "1"; }

std::string DropLast(std::string_view text, std::size_t n) {
  return n >= text.size() ? std::string() : std::string(text.substr(0, text.size() - n));
}

}  // namespace ascii
