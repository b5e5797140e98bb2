// The file-backed store of mail program accounts.
#include "platform/AccountStore.h"

#include <cstdio>
#include <utility>

#include "platform/AsciiText.h"
#include "platform/TextFile.h"

namespace os {

namespace {

// Key and value names compare as the registry does: ignoring ASCII case.
bool SameTextIgnoringCase(const std::string& a, const std::string& b) { return ascii::EqualNoCase(a, b); }

// Reads a quoted, escaped text starting at text[pos] == '"'; advances pos past
// the closing quote. False when the quote is not closed.
bool ReadQuoted(const std::string& text, std::size_t& pos, std::string& out) {
  out.clear();
  if (pos >= text.size() || text[pos] != '"') return false;
  for (++pos; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\' && pos + 1 < text.size()) {
      c = text[++pos];
      if (c == 'r') c = '\r';
      if (c == 'n') c = '\n';
      if (c == 't') c = '\t';
    }
    out += c;
  }
  return false;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out + "\"";
}

bool ParseDword(const std::string& text, std::uint32_t& number) {
  static const std::string kPrefix = "dword:";
  if (text.size() <= kPrefix.size() || !SameTextIgnoringCase(text.substr(0, kPrefix.size()), kPrefix))
    return false;
  const std::string digits = text.substr(kPrefix.size());
  if (digits.size() > 8) return false;
  number = 0;
  for (const char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return false;
    number = number * 16 + static_cast<std::uint32_t>(digit);
  }
  return true;
}

std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// True when `path` lies below `parent`; `rest` is then the part after "parent\".
bool IsBelow(const std::string& path, const std::string& parent, std::string& rest) {
  if (path.size() <= parent.size() + 1 || path[parent.size()] != '\\') return false;
  if (!SameTextIgnoringCase(path.substr(0, parent.size()), parent)) return false;
  rest = path.substr(parent.size() + 1);
  return true;
}

}  // namespace

// ---- AccountKey ----

bool AccountKey::ValueExists(const std::string& name) const {
  return store_->FindValue(path_, name) != nullptr;
}

std::optional<std::string> AccountKey::ReadString(const std::string& name) const {
  const auto* value = store_->FindValue(path_, name);
  if (value == nullptr || value->type != AccountStore::ValueType::kString) return std::nullopt;
  return value->text;
}

std::optional<std::uint32_t> AccountKey::ReadDword(const std::string& name) const {
  const auto* value = store_->FindValue(path_, name);
  if (value == nullptr || value->type != AccountStore::ValueType::kDword) return std::nullopt;
  return value->number;
}

namespace {
template <typename Values>
auto& ValueSlot(Values& values, const std::string& name) {
  for (auto& value : values) {
    if (SameTextIgnoringCase(value.name, name)) return value;
  }
  values.emplace_back();
  values.back().name = name;
  return values.back();
}
}  // namespace

void AccountKey::WriteString(const std::string& name, const std::string& text) {
  auto& value = ValueSlot(store_->KeyFor(path_).values, name);
  value.type = AccountStore::ValueType::kString;
  value.text = text;
  value.number = 0;
}

void AccountKey::WriteDword(const std::string& name, std::uint32_t number) {
  auto& value = ValueSlot(store_->KeyFor(path_).values, name);
  value.type = AccountStore::ValueType::kDword;
  value.text.clear();
  value.number = number;
}

bool AccountKey::DeleteValue(const std::string& name) {
  auto* key = store_->FindKey(path_);
  if (key == nullptr) return false;
  for (auto it = key->values.begin(); it != key->values.end(); ++it) {
    if (SameTextIgnoringCase(it->name, name)) {
      key->values.erase(it);
      return true;
    }
  }
  return false;
}

// ---- AccountStore ----

AccountStore::Key* AccountStore::FindKey(const std::string& path) {
  for (auto& key : keys_) {
    if (SameTextIgnoringCase(key.path, path)) return &key;
  }
  return nullptr;
}

const AccountStore::Key* AccountStore::FindKey(const std::string& path) const {
  return const_cast<AccountStore*>(this)->FindKey(path);
}

const AccountStore::Value* AccountStore::FindValue(const std::string& path, const std::string& name) const {
  const Key* key = FindKey(path);
  if (key == nullptr) return nullptr;
  for (const auto& value : key->values) {
    if (SameTextIgnoringCase(value.name, name)) return &value;
  }
  return nullptr;
}

AccountStore::Key& AccountStore::KeyFor(const std::string& path) {
  if (Key* key = FindKey(path)) return *key;
  keys_.push_back(Key{path, {}});
  return keys_.back();
}

bool AccountStore::Load() {
  keys_.clear();
  std::string text;
  if (!ReadWholeFile(filePath_, text)) return !FileExists(filePath_);
  Key* current = nullptr;
  for (const auto& line : SplitLines(text)) ParseLine(TrimBlanks(line), current);
  return true;
}

void AccountStore::ParseLine(const std::string& line, Key*& current) {
  if (line.empty() || line[0] == ';') return;
  if (line[0] == '[') {
    const auto close = line.find_last_of(']');
    current = close == std::string::npos ? nullptr : &KeyFor(line.substr(1, close - 1));
    return;
  }
  std::size_t pos = 0;
  std::string name;
  if (current == nullptr || !ReadQuoted(line, pos, name)) return;
  if (pos >= line.size() || line[pos] != '=') return;
  ++pos;
  Value value;
  value.name = name;
  if (pos < line.size() && line[pos] == '"') {
    if (!ReadQuoted(line, pos, value.text) || pos != line.size()) return;
  } else if (ParseDword(line.substr(pos), value.number)) {
    value.type = ValueType::kDword;
  } else {
    return;
  }
  auto& slot = ValueSlot(current->values, name);
  slot = value;
}

bool AccountStore::Save() const { return WriteFileAtomically(filePath_, Text()); }

std::string AccountStore::Text() const {
  std::vector<std::string> lines{"; Mail program accounts"};
  for (const auto& key : keys_) {
    lines.push_back("");
    lines.push_back("[" + key.path + "]");
    for (const auto& value : key.values) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "dword:%08x", value.number);
      lines.push_back(Quoted(value.name) + "=" +
                      (value.type == ValueType::kDword ? hex : Quoted(value.text)));
    }
  }
  return JoinLines(lines);
}

bool AccountStore::KeyExists(const std::string& path) const {
  std::string rest;
  for (const auto& key : keys_) {
    if (SameTextIgnoringCase(key.path, path) || IsBelow(key.path, path, rest)) return true;
  }
  return false;
}

std::vector<std::string> AccountStore::SubkeyNames(const std::string& path) const {
  std::vector<std::string> names;
  std::string rest;
  for (const auto& key : keys_) {
    if (!IsBelow(key.path, path, rest)) continue;
    const std::string name = rest.substr(0, rest.find('\\'));
    bool known = false;
    for (const auto& seen : names) known = known || SameTextIgnoringCase(seen, name);
    if (!known) names.push_back(name);
  }
  return names;
}

std::optional<AccountKey> AccountStore::OpenKey(const std::string& path) {
  if (!KeyExists(path)) return std::nullopt;
  return AccountKey(*this, path);
}

AccountKey AccountStore::CreateKey(const std::string& path) {
  KeyFor(path);
  return AccountKey(*this, path);
}

}  // namespace os
