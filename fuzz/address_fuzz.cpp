// Address items and lists over arbitrary text: parsing may only fail with
// "@ Outside address", whatever is parsed renders into text that parses
// again, and items of a sane shape come back unchanged.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "intake/IdEMailAddress.h"
#include "platform/Failure.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: [%s]\n", what, detail.c_str());
  std::abort();
}

bool ParseItem(const std::string& text, TIdEMailAddressItem& item) {
  try {
    item.SetText(text);
    return true;
  } catch (const EFailure& e) {
    if (std::string(e.what()) != "@ Outside address") Fail("unexpected failure text", e.what());
    return false;
  }
}

bool ParseList(const std::string& text, TIdEMailAddressList& list) {
  try {
    list.SetEMailAddresses(text);
    return true;
  } catch (const EFailure& e) {
    if (std::string(e.what()) != "@ Outside address") Fail("unexpected failure text", e.what());
    return false;
  }
}

bool IsAtomOrDot(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z')) return true;
  return c != '\0' && std::string("!#$%&'*+-/=?_{}|~`.").find(c) != std::string::npos;
}

bool HasControl(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  }
  return false;
}

// The domain is never quoted when rendered, so only a domain of atoms and
// dots is sure to survive; control bytes and blanks at the ends of a quoted
// local part are trimmed away on parsing.
bool IsSaneItem(const TIdEMailAddressItem& item) {
  if (HasControl(item.Name) || HasControl(item.Address)) return false;
  const std::size_t at = item.Address.rfind('@');
  if (at == std::string::npos) return true;
  if (at > 0 && (item.Address[0] == ' ' || item.Address[at - 1] == ' ')) return false;
  for (std::size_t i = at + 1; i < item.Address.size(); ++i) {
    if (!IsAtomOrDot(item.Address[i])) return false;
  }
  return true;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A name that only repeats the address is left out when rendering.
bool SameItem(const TIdEMailAddressItem& original, const TIdEMailAddressItem& back) {
  if (back.Address != original.Address) return false;
  if (EqualNoCase(original.Name, original.Address)) return back.Name.empty();
  return back.Name == original.Name;
}

void CheckItem(const std::string& text) {
  TIdEMailAddressItem item;
  if (!ParseItem(text, item)) return;
  const std::string rendered = item.GetText();
  TIdEMailAddressItem back;
  if (!ParseItem(rendered, back)) Fail("rendered item rejected", rendered);
  if (IsSaneItem(item) && !SameItem(item, back)) Fail("item changed by rendering", rendered);
}

// A list of sane items renders into a list that parses back to the same
// items; other domains may hold quotes or commas that split or merge items
// when read again.
void CheckList(const std::string& text) {
  TIdEMailAddressList list;
  if (!ParseList(text, list)) return;
  for (const TIdEMailAddressItem& item : list) {
    if (!IsSaneItem(item)) return;
  }
  const std::string rendered = list.GetEMailAddresses();
  TIdEMailAddressList back;
  if (!ParseList(rendered, back)) Fail("rendered list rejected", rendered);
  if (back.Count() != list.Count()) Fail("list changed by rendering", rendered);
  for (int i = 0; i < list.Count(); ++i) {
    if (!SameItem(list[i], back[i])) Fail("list item changed by rendering", rendered);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckItem(text);
  CheckList(text);
  return 0;
}
