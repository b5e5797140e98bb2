// Address items and lists: parsing of what mail programs write, rendering
// back, the error for an "@" after a closed address, and an address's domain.
#include "intake/IdEMailAddress.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Failure.h"

namespace {

struct ParseCase {
  std::string text, name, address;
};

TEST(IdEMailAddressItem, ParsesText) {
  const ParseCase cases[] = {
      {"", "", ""},
      {" \t ", "", ""},
      {"<js@x.com>", "", "js@x.com"},
      {"  <js@x.com>  ", "", "js@x.com"},
      {"<>", "", ""},
      {"postmaster", "", "postmaster"},
      {"a>b,c", "", "a>b,c"},  // nothing special: all of it is the address
      {"js@x.com", "", "js@x.com"},
      {"John Smith <js@x.com>", "John Smith", "js@x.com"},
      {"John  \t Smith\t<js@x.com>", "John Smith", "js@x.com"},
      {"John<js@x.com>", "John", "js@x.com"},
      {"\"Smith, John\" <js@x.com>", "Smith, John", "js@x.com"},
      {"\" Smith, John \"<js@x.com>", "Smith, John", "js@x.com"},
      {"\"a \\\"b\\\" \\\\c\" <x@y>", "a \"b\" \\c", "x@y"},
      {"\"John\" Smith <js@x.com>", "John Smith", "js@x.com"},
      {"js@x.com (John Smith)", "", "js@x.com"},
      {"John (the (nested) boss) Smith <js@x.com>", "John Smith", "js@x.com"},
      {"(comment \\) still) <js@x.com>", "", "js@x.com"},
      {"<js(comment)@x.com>", "", "js@x.com"},
      {"<js@x(comment).com>", "", "js@x.com"},
      {"< js @ x . com >", "", "js@x.com"},
      {"<\"john smith\"@x.com>", "", "john smith@x.com"},
      {"<js@x.com> trailing words", "", "js@x.com"},
      {"<js@x.com", "", "js@x.com"},  // unclosed: the rest is the address
      {"\"unclosed <a@b>", "unclosed <a@b>", ""},
      {"js@ x.com", "", "js@x.com"},
      {"js@x. com", "", "js@x.com"},
      {"js@x.com John", "John", "js@x.com"},  // words after a bare address: the name
      {"js@x.com <other@y.org>", "js@x.com", "other@y.org"},
      {"John Smith", "John Smith", ""},
  };
  for (const ParseCase& c : cases) {
    TIdEMailAddressItem item;
    item.Name = "old";
    item.Address = "old@old";
    item.SetText(c.text);
    EXPECT_EQ(item.Name, c.name) << "name of [" << c.text << "]";
    EXPECT_EQ(item.Address, c.address) << "address of [" << c.text << "]";
  }
}

TEST(IdEMailAddressItem, AtAfterClosedAddressIsAnError) {
  for (const char* text : {"<a@b> c@d", "<a@b>@", "Name <a@b> (sent by x@y)", "<a@b>> @"}) {
    TIdEMailAddressItem item;
    try {
      item.SetText(text);
      ADD_FAILURE() << "no failure for [" << text << "]";
    } catch (const EFailure& e) {
      EXPECT_STREQ(e.what(), "@ Outside address") << "for [" << text << "]";
    }
  }
}

struct RenderCase {
  std::string name, address, text;
};

TEST(IdEMailAddressItem, RendersText) {
  const RenderCase cases[] = {
      {"", "", ""},
      {"", "js@x.com", "js@x.com"},
      {"", "first.last@x.com", "first.last@x.com"},
      {"", "no-at-sign", "no-at-sign"},
      {"", "john smith@x.com", "<\"john smith\"@x.com>"},
      {"", "a\"b\\c@x", "<\"a\\\"b\\\\c\"@x>"},
      {"", "a.b c@x", "<\"a.b c\"@x>"},  // a dot before the blank does not hide it
      {"", "a@b@x", "<\"a@b\"@x>"},      // split at the last "@"
      {"John Smith", "js@x.com", "John Smith <js@x.com>"},
      {"Smith, John", "js@x.com", "\"Smith, John\" <js@x.com>"},
      {"J. \"Jr\" \\ S", "a@b", "\"J. \\\"Jr\\\" \\\\ S\" <a@b>"},
      {"John", "john smith@x.com", "John <\"john smith\"@x.com>"},
      {"JS@X.COM", "js@x.com", "<js@x.com>"},  // a name that only repeats the address
      {"js@x.com", "js@x.com", "<js@x.com>"},
      {"John", "", "John <>"},
  };
  for (const RenderCase& c : cases) {
    TIdEMailAddressItem item;
    item.Name = c.name;
    item.Address = c.address;
    EXPECT_EQ(item.GetText(), c.text) << "name [" << c.name << "] address [" << c.address << "]";
  }
}

// What is rendered parses back to the same item, whatever the name holds.
TEST(IdEMailAddressItem, RenderedTextParsesBack) {
  const std::pair<std::string, std::string> items[] = {
      {"", "js@x.com"},
      {"John Smith", "js@x.com"},
      {"Smith, John", "js@x.com"},
      {"John  Smith", "js@x.com"},
      {"a \"quoted\" \\ name", "js@x.com"},
      {"<tricky> (name) @ here; x:y", "js@x.com"},
      {"", "john smith@x.com"},
      {"J\xc3\xa9r\xc3\xb4me", "j@x.fr"},
      {"Name", "a\"b@x"},
  };
  for (const auto& [name, address] : items) {
    TIdEMailAddressItem item;
    item.Name = name;
    item.Address = address;
    TIdEMailAddressItem back;
    back.SetText(item.GetText());
    EXPECT_EQ(back.Name, name) << "rendered as [" << item.GetText() << "]";
    EXPECT_EQ(back.Address, address) << "rendered as [" << item.GetText() << "]";
  }
}

struct ListCase {
  std::string text;
  std::vector<std::string> items;  // rendered
};

TEST(IdEMailAddressList, ParsesLists) {
  const ListCase cases[] = {
      {"", {}},
      {"  ,  , ", {}},
      {"js@x.com", {"js@x.com"}},
      {"a@b.c, \"Smith, John\" <js@x.com>, undisclosed-recipients:;",
       {"a@b.c", "\"Smith, John\" <js@x.com>"}},
      {"<>, a@b", {"a@b"}},
      {"Friends: a@b, c@d;, e@f", {"a@b", "c@d", "e@f"}},
      {"Friends: a@b; Others: c@d;", {"a@b", "c@d"}},
      {"a@b (one, two), c@d", {"a@b", "c@d"}},
      {"\"a;b:c, d\" <x@y>", {"\"a;b:c, d\" <x@y>"}},
      {"\"a\\\", b\" <x@y>, z@w", {"\"a\\\", b\" <x@y>", "z@w"}},
      {"John Smith <js@x.com>,Jane<jd@x.com>", {"John Smith <js@x.com>", "Jane <jd@x.com>"}},
  };
  for (const ListCase& c : cases) {
    TIdEMailAddressList list;
    list.Add().Address = "stale@old";
    list.SetEMailAddresses(c.text);
    std::vector<std::string> rendered;
    for (const TIdEMailAddressItem& item : list) rendered.push_back(item.GetText());
    EXPECT_EQ(rendered, c.items) << "list [" << c.text << "]";
  }
}

TEST(IdEMailAddressList, ItemErrorReachesCaller) {
  TIdEMailAddressList list;
  EXPECT_THROW(list.SetEMailAddresses("a@b, <c@d> e@f"), EFailure);
}

TEST(IdEMailAddressList, RendersJoinedByCommaAndSpace) {
  TIdEMailAddressList list;
  EXPECT_EQ(list.GetEMailAddresses(), "");
  list.Add().Address = "a@b";
  TIdEMailAddressItem& second = list.Add();
  second.Name = "Smith, John";
  second.Address = "js@x.com";
  list.Add();  // an empty item keeps its place
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list[1].Address, "js@x.com");
  EXPECT_EQ(list.GetEMailAddresses(), "a@b, \"Smith, John\" <js@x.com>, ");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(DomainOf, SecondWordBetweenAtSigns) {
  const std::pair<const char*, const char*> cases[] = {{"user@example.test", "example.test"},
                                                       {"a@b@c", "b"},
                                                       {"@@user@@dom", "dom"},
                                                       {"nodomain", ""},
                                                       {"user@", ""},
                                                       {"", ""}};
  for (const auto& [address, domain] : cases) EXPECT_EQ(DomainOf(address), domain) << address;
}

}  // namespace
