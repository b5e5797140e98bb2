// A bounds-checked read position over a byte string, for the hand-written
// scanners of addresses, header values and dates. Reading past the end
// yields NUL and never moves the position beyond the text.
#pragma once

#include <cstddef>
#include <string_view>

class TextCursor {
 public:
  explicit TextCursor(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  std::size_t Pos() const { return pos_; }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  char Next() { return AtEnd() ? '\0' : text_[pos_++]; }
  std::string_view Rest() const { return text_.substr(pos_); }

  // Consumes c when it is next.
  bool Skip(char c) {
    if (AtEnd() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  // Consumes the longest run of characters for which pred holds.
  template <typename Pred>
  std::string_view TakeWhile(Pred pred) {
    const std::size_t start = pos_;
    while (!AtEnd() && pred(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};
