// E-mail addresses: one address with its display name, and an ordered list
// of them, with the parsing and rendering that the SMTP dialog and the
// message headers use.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TIdEMailAddressItem {
 public:
  std::string Name;     // display name, without quotes; may be empty
  std::string Address;  // local part, "@", domain; may be empty
  // The charset of Name when it was decoded from encoded words (see
  // TDecodedText); empty for a name as it was written.
  std::string NameCharset;

  // The rendered form: bare address, or name and address in angle brackets.
  std::string GetText() const;
  // Parses text into Name and Address. Throws EFailure("@ Outside address")
  // when an "@" follows an address already closed by ">".
  void SetText(const std::string& text);
};

// An address as headers and commands carry it: as it is, or with its local
// part in double quotes when it holds anything but atom characters and dots
// ("john smith@x" is "\"john smith\"@x").
std::string QuotedAddress(const std::string& address);

// A display name that needs no quotes: atoms (encoded words among them)
// separated by single blanks.
bool IsAtomPhrase(std::string_view name);

// The domain of an address: its second word when it is split at runs of "@"
// ("a@b@c" gives "b"); empty when it has none.
std::string DomainOf(const std::string& address);

class TIdEMailAddressList {
 public:
  // Appends an empty item and returns it.
  TIdEMailAddressItem& Add();
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  TIdEMailAddressItem& operator[](int index) { return items_.at(index); }
  const TIdEMailAddressItem& operator[](int index) const { return items_.at(index); }

  // The rendered items joined by ", ".
  std::string GetEMailAddresses() const;
  // Replaces the list by the items of a comma-separated list (groups and
  // comments understood). Throws as TIdEMailAddressItem::SetText.
  void SetEMailAddresses(const std::string& text);

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<TIdEMailAddressItem> items_;
};
