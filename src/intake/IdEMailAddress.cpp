// Parsing and rendering of e-mail addresses ("Name <local@domain>") and of
// comma-separated address lists with groups and comments.
#include "intake/IdEMailAddress.h"

#include <vector>

#include "intake/TextCursor.h"
#include "platform/AsciiText.h"
#include "platform/Failure.h"

namespace {

constexpr char kOutsideAddress[] = "@ Outside address";

// Reads a quoted string whose opening quote was consumed and returns its
// content; a backslash takes the next character literally. An unclosed
// quote runs to the end.
std::string ReadQuoted(TextCursor& cur) {
  std::string text;
  while (!cur.AtEnd()) {
    char c = cur.Next();
    if (c == '"') break;
    if (c == '\\' && !cur.AtEnd()) c = cur.Next();
    text += c;
  }
  return text;
}

// Skips a comment whose "(" was consumed, nested parentheses counted.
void SkipComment(TextCursor& cur) {
  int depth = 1;
  while (!cur.AtEnd() && depth > 0) {
    const char c = cur.Next();
    if (c == '\\') {
      cur.Next();
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    }
  }
}

std::string JoinWords(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& word : words) {
    if (!joined.empty()) joined += ' ';
    joined += word;
  }
  return joined;
}

// One address: a scanner that moves from special character to special
// character. Which characters are special depends on where it is:
//   Name         before any address: ( " < blank @
//   AngleLocal   after "<", before "@": " ( @ >
//   AngleDomain  after "<" and "@": . > ( (blanks around dots dropped)
//   BareDomain   after an "@" without "<": . ( blank
//   AfterBare    a bare address ended at a blank or comment; further words
//                are the display name
//   Closed       after ">": only another "@" matters, and it is an error
// The text since the last special character waits in pending_.
class AddressScanner {
 public:
  explicit AddressScanner(std::string_view text) : cur_(text) {}

  void Run(std::string& name, std::string& address) {
    while (!cur_.AtEnd() && state_ != State::Closed) Step(cur_.Next());
    if (state_ == State::Closed && cur_.Rest().find('@') != std::string_view::npos) {
      throw EFailure(kOutsideAddress);
    }
    Finish();
    name = ascii::TrimBlanks(JoinWords(words_));
    address = ascii::TrimSpacesAndControls(address_);
  }

 private:
  enum class State { Name, AngleLocal, AngleDomain, BareDomain, AfterBare, Closed };

  void Step(char c) {
    switch (state_) {
      case State::Name:
      case State::AfterBare:
        OnName(c);
        break;
      case State::AngleLocal:
        OnAngleLocal(c);
        break;
      case State::AngleDomain:
        OnAngleDomain(c);
        break;
      case State::BareDomain:
        OnBareDomain(c);
        break;
      case State::Closed:
        break;
    }
  }

  void OnName(char c) {
    if (ascii::IsBlank(c)) {
      AddNameWord();
    } else if (c == '"') {
      pending_ += ascii::TrimSpacesAndControls(ReadQuoted(cur_));
    } else if (c == '(') {
      AddNameWord();
      SkipComment(cur_);
    } else if (c == '<') {
      AddNameWord();
      if (state_ == State::AfterBare) {
        // "a@b Name <c@d>": the bracketed address wins, the bare one is
        // kept as part of the name where it stood.
        words_.insert(words_.begin() + static_cast<std::ptrdiff_t>(bareAt_), address_);
        address_.clear();
      }
      state_ = State::AngleLocal;
    } else if (c == '@' && state_ == State::Name) {
      bareAt_ = words_.size();
      address_ = pending_ + '@';
      pending_.clear();
      state_ = State::BareDomain;
    } else {
      pending_ += c;
    }
  }

  void OnAngleLocal(char c) {
    if (c == '"') {
      pending_ += ascii::TrimSpacesAndControls(ReadQuoted(cur_));
    } else if (c == '(') {
      TakePending();
      SkipComment(cur_);
    } else if (c == '@') {
      TakePending();
      address_ += '@';
      state_ = State::AngleDomain;
    } else if (c == '>') {
      TakePending();
      state_ = State::Closed;
    } else {
      pending_ += c;
    }
  }

  void OnAngleDomain(char c) {
    if (c == '.') {
      TakePending();
      address_ += '.';
      cur_.TakeWhile(ascii::IsBlank);
    } else if (c == '>') {
      TakePending();
      state_ = State::Closed;
    } else if (c == '(') {
      TakePending();
      SkipComment(cur_);
    } else {
      pending_ += c;
    }
  }

  void OnBareDomain(char c) {
    if (c == '.') {
      TakePending();
      address_ += '.';
    } else if (ascii::IsBlank(c)) {
      EndBareAddress();
    } else if (c == '(') {
      EndBareAddress();
      SkipComment(cur_);
    } else {
      pending_ += c;
    }
  }

  // A blank or comment ends a bare address unless it is still missing its
  // domain ("a@ b.c", "a@b. c"), where the blank is dropped instead.
  void EndBareAddress() {
    TakePending();
    const char last = address_.empty() ? '\0' : address_.back();
    if (last != '@' && last != '.') state_ = State::AfterBare;
  }

  void Finish() {
    if (state_ == State::Name || state_ == State::AfterBare) {
      AddNameWord();
    } else {
      TakePending();
    }
  }

  void AddNameWord() {
    std::string word = ascii::TrimBlanks(pending_);
    if (!word.empty()) words_.push_back(std::move(word));
    pending_.clear();
  }

  void TakePending() {
    address_ += ascii::TrimSpacesAndControls(pending_);
    pending_.clear();
  }

  TextCursor cur_;
  State state_ = State::Name;
  std::string pending_;
  std::vector<std::string> words_;  // display name words
  std::size_t bareAt_ = 0;          // word index where a bare address stood
  std::string address_;
};

bool IsAtomChar(char c) {
  if (ascii::IsLetter(c) || ascii::IsDigit(c)) return true;
  return c != '\0' && std::string_view("!#$%&'*+-/=?_{}|~`").find(c) != std::string_view::npos;
}

// Characters that force quoting: anything but atoms and dots in a local
// part.
bool IsPlainLocalPart(std::string_view local) {
  for (char c : local) {
    if (!IsAtomChar(c) && c != '.') return false;
  }
  return true;
}

std::string Quoted(std::string_view text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') result += '\\';
    result += c;
  }
  return result + '"';
}

// The address with its local part quoted when needed; `quoted` tells the
// caller that angle brackets are then required.
std::string AddressForm(const std::string& address, bool& quoted) {
  const std::size_t at = address.rfind('@');
  const std::string_view local = std::string_view(address).substr(0, at);
  quoted = !IsPlainLocalPart(local);
  if (!quoted) return address;
  return Quoted(local) + (at == std::string::npos ? std::string() : address.substr(at));
}

// An item's text in a list: a blank text is no item.
bool ParseListItem(const std::string& text, TIdEMailAddressItem& item) {
  if (ascii::TrimSpacesAndControls(text).empty()) return false;
  item.SetText(text);
  const std::string rendered = item.GetText();
  return !rendered.empty() && rendered != "<>";
}

// Copies a quoted string or comment, opener already consumed, unchanged
// into `out` so the item parser sees it whole.
void CopyDelimited(TextCursor& cur, char opener, std::string& out) {
  const char closer = opener == '"' ? '"' : ')';
  int depth = 1;
  out += opener;
  while (!cur.AtEnd() && depth > 0) {
    const char c = cur.Next();
    out += c;
    if (c == '\\') {
      if (!cur.AtEnd()) out += cur.Next();
    } else if (c == closer) {
      --depth;
    } else if (opener == '(' && c == '(') {
      ++depth;
    }
  }
}

}  // namespace

std::string TIdEMailAddressItem::GetText() const {
  bool quoted = false;
  if (Name.empty() || ascii::EqualNoCase(Name, Address)) {
    if (Address.empty()) return Name.empty() ? std::string() : "<>";
    const std::string address = AddressForm(Address, quoted);
    return quoted || !Name.empty() ? "<" + address + ">" : address;
  }
  const std::string name = IsAtomPhrase(Name) ? Name : Quoted(Name);
  return name + " <" + AddressForm(Address, quoted) + ">";
}

void TIdEMailAddressItem::SetText(const std::string& text) {
  Name.clear();
  Address.clear();
  NameCharset.clear();
  const std::string trimmed = ascii::TrimSpacesAndControls(text);
  if (trimmed.find_first_of("(\"< @\t") == std::string::npos) {
    Address = trimmed;
    return;
  }
  AddressScanner(trimmed).Run(Name, Address);
}

TIdEMailAddressItem& TIdEMailAddressList::Add() { return items_.emplace_back(); }

std::string TIdEMailAddressList::GetEMailAddresses() const {
  std::string text;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (i > 0) text += ", ";
    text += items_[i].GetText();
  }
  return text;
}

void TIdEMailAddressList::SetEMailAddresses(const std::string& text) {
  items_.clear();
  const std::string trimmed = ascii::TrimSpacesAndControls(text);
  TextCursor cur(trimmed);
  std::string itemText;
  auto endItem = [&] {
    TIdEMailAddressItem item;
    if (ParseListItem(itemText, item)) items_.push_back(std::move(item));
    itemText.clear();
  };
  while (!cur.AtEnd()) {
    const char c = cur.Next();
    if (c == '"' || c == '(') {
      CopyDelimited(cur, c, itemText);
    } else if (c == ',' || c == ';') {
      endItem();
    } else if (c == ':') {
      itemText.clear();  // a group name
    } else {
      itemText += c;
    }
  }
  endItem();
}

std::string QuotedAddress(const std::string& address) {
  bool quoted = false;
  return AddressForm(address, quoted);
}

// Anything but atoms and a blank forces quoting; so do blanks that would not
// survive reading (at an end, or two in a row). An encoded word as RFC 2047
// allows it in a phrase is made of atom characters, so it is an atom here.
bool IsAtomPhrase(std::string_view name) {
  for (char c : name) {
    if (!IsAtomChar(c) && c != ' ') return false;
  }
  return !name.empty() && name.front() != ' ' && name.back() != ' ' &&
         name.find("  ") == std::string_view::npos;
}

std::string DomainOf(const std::string& address) {
  // Words are the runs of characters between "@"s; the domain is the second.
  std::size_t start = address.find_first_not_of('@');
  if (start == std::string::npos) return {};
  std::size_t end = address.find('@', start);
  if (end == std::string::npos) return {};
  start = address.find_first_not_of('@', end);
  if (start == std::string::npos) return {};
  end = address.find('@', start);
  return address.substr(start, end == std::string::npos ? std::string::npos : end - start);
}
