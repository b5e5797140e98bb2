#include "core/ThunderbirdPrefs.h"

#include <charconv>
#include <string_view>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void AppendUtf8(std::string& out, unsigned codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// Reads through a line with a position that never passes its end.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  std::size_t Position() const { return pos_; }
  bool AtEnd() const { return pos_ >= text_.size(); }
  void SkipSpace() {
    while (!AtEnd() && IsSpace(text_[pos_])) ++pos_;
  }
  bool Take(std::string_view expected) {
    if (text_.substr(pos_, expected.size()) != expected) return false;
    pos_ += expected.size();
    return true;
  }
  // A quoted string; the position then lies after the closing quote.
  bool SkipString() {
    if (AtEnd() || (text_[pos_] != '"' && text_[pos_] != '\'')) return false;
    const char quote = text_[pos_++];
    while (!AtEnd()) {
      const char c = text_[pos_++];
      if (c == '\\') {
        if (AtEnd()) return false;
        ++pos_;
      } else if (c == quote) {
        return true;
      }
    }
    return false;
  }
  // A string, an integer or true/false.
  bool SkipValue() {
    if (!AtEnd() && (text_[pos_] == '"' || text_[pos_] == '\'')) return SkipString();
    if (Take("true") || Take("false")) return true;
    if (!AtEnd() && (text_[pos_] == '-' || text_[pos_] == '+')) ++pos_;
    const std::size_t digits = pos_;
    while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return pos_ > digits;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The number of hexadecimal digits at text[pos], up to count; -1 if fewer.
long HexNumber(const std::string& text, std::size_t pos, int count) {
  if (pos + static_cast<std::size_t>(count) > text.size()) return -1;
  long number = 0;
  for (int i = 0; i < count; ++i) {
    const int digit = HexValue(text[pos + static_cast<std::size_t>(i)]);
    if (digit < 0) return -1;
    number = number * 16 + digit;
  }
  return number;
}

}  // namespace

ThunderbirdPrefs::ThunderbirdPrefs(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines_.push_back(ParseLine(text.substr(start, end - start)));
    start = end;
  }
  if (text.find("\r\n") != std::string::npos) newline_ = "\r\n";
}

ThunderbirdPrefs::Line ThunderbirdPrefs::ParseLine(std::string text) {
  Line line;
  line.text = std::move(text);
  Cursor cursor(line.text);
  cursor.SkipSpace();
  if (!cursor.Take("user_pref")) return line;
  cursor.SkipSpace();
  if (!cursor.Take("(")) return line;
  cursor.SkipSpace();
  const std::size_t nameBegin = cursor.Position();
  if (!cursor.SkipString()) return line;
  const auto name = Unquote(line.text.substr(nameBegin, cursor.Position() - nameBegin));
  cursor.SkipSpace();
  if (!name || !cursor.Take(",")) return line;
  cursor.SkipSpace();
  const std::size_t valueBegin = cursor.Position();
  if (!cursor.SkipValue()) return line;
  const std::size_t valueEnd = cursor.Position();
  cursor.SkipSpace();
  if (!cursor.Take(")")) return line;
  cursor.SkipSpace();
  if (!cursor.Take(";")) return line;
  line.isPref = true;
  line.name = *name;
  line.valueBegin = valueBegin;
  line.valueEnd = valueEnd;
  return line;
}

ThunderbirdPrefs::Line* ThunderbirdPrefs::LastLineOf(const std::string& name) {
  for (auto it = lines_.rbegin(); it != lines_.rend(); ++it) {
    if (it->isPref && it->name == name) return &*it;
  }
  return nullptr;
}

const ThunderbirdPrefs::Line* ThunderbirdPrefs::LastLineOf(const std::string& name) const {
  return const_cast<ThunderbirdPrefs*>(this)->LastLineOf(name);
}

std::optional<std::string> ThunderbirdPrefs::Token(const std::string& name) const {
  const Line* line = LastLineOf(name);
  if (!line) return std::nullopt;
  return line->text.substr(line->valueBegin, line->valueEnd - line->valueBegin);
}

std::optional<std::string> ThunderbirdPrefs::String(const std::string& name) const {
  const auto token = Token(name);
  return token ? Unquote(*token) : std::nullopt;
}

std::optional<long long> ThunderbirdPrefs::Integer(const std::string& name) const {
  const auto token = Token(name);
  if (!token || token->empty()) return std::nullopt;
  const char* begin = token->data() + (token->front() == '+' ? 1 : 0);
  const char* end = token->data() + token->size();
  long long number = 0;
  const auto [stop, error] = std::from_chars(begin, end, number);
  if (error != std::errc() || stop != end) return std::nullopt;
  return number;
}

void ThunderbirdPrefs::SetToken(const std::string& name, const std::string& token) {
  if (Line* line = LastLineOf(name)) {
    line->text.replace(line->valueBegin, line->valueEnd - line->valueBegin, token);
    line->valueEnd = line->valueBegin + token.size();
    return;
  }
  // A file that ends without a line break gets one before the new line.
  if (!lines_.empty() && !lines_.back().text.empty() && lines_.back().text.back() != '\n') {
    lines_.back().text += newline_;
  }
  lines_.push_back(ParseLine("user_pref(" + Quote(name) + ", " + token + ");" + newline_));
}

void ThunderbirdPrefs::SetString(const std::string& name, const std::string& text) {
  SetToken(name, Quote(text));
}

void ThunderbirdPrefs::SetInteger(const std::string& name, long long number) {
  SetToken(name, std::to_string(number));
}

bool ThunderbirdPrefs::Remove(const std::string& name) {
  const std::size_t before = lines_.size();
  std::erase_if(lines_, [&](const Line& line) { return line.isPref && line.name == name; });
  return lines_.size() != before;
}

std::string ThunderbirdPrefs::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.text;
  return text;
}

std::string ThunderbirdPrefs::Quote(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '\\':
        quoted += "\\\\";
        break;
      case '"':
        quoted += "\\\"";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      default:
        quoted += c;
    }
  }
  return quoted + "\"";
}

std::optional<std::string> ThunderbirdPrefs::Unquote(const std::string& token) {
  if (token.size() < 2 || (token.front() != '"' && token.front() != '\'') || token.back() != token.front()) {
    return std::nullopt;
  }
  std::string text;
  const std::size_t end = token.size() - 1;
  for (std::size_t i = 1; i < end; ++i) {
    if (token[i] != '\\') {
      text += token[i];
      continue;
    }
    if (++i >= end) return std::nullopt;
    switch (token[i]) {
      case 'n':
        text += '\n';
        break;
      case 'r':
        text += '\r';
        break;
      case 't':
        text += '\t';
        break;
      case 'x': {
        const long number = HexNumber(token, i + 1, 2);
        if (number < 0 || i + 2 >= end) return std::nullopt;
        AppendUtf8(text, static_cast<unsigned>(number));
        i += 2;
        break;
      }
      case 'u': {
        const long number = HexNumber(token, i + 1, 4);
        if (number < 0 || i + 4 >= end) return std::nullopt;
        AppendUtf8(text, static_cast<unsigned>(number));
        i += 4;
        break;
      }
      default:
        text += token[i];
    }
  }
  return text;
}
