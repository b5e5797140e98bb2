// The main window's figures and apply rules, without a widget.
#include "ui/WatchFormLogic.h"

#include <gtest/gtest.h>

using namespace watch;

TEST(WatchFormLogicTest, CounterTextPadsToFiveDigitsAndShowsMinusSignsBeyond) {
  const struct {
    int64_t value;
    const char* text;
  } cases[] = {
      {0, "00000"}, {7, "00007"}, {99999, "99999"}, {100000, "-----"}, {2147483647, "-----"}, {-1, "-----"},
  };
  for (const auto& c : cases) EXPECT_EQ(CounterText(c.value), c.text) << c.value;
}

TEST(WatchFormLogicTest, TipNamesTheStoredPort) {
  EXPECT_EQ(TipText("2525"), "Use port 2525 in your email program along with localhost!");
}

TEST(WatchFormLogicTest, SettingsOpenAsStored) {
  const InitialSettings standard = SettingsAtShow("", "25", false);
  EXPECT_EQ(standard.dnsItem, 0);
  EXPECT_FALSE(standard.dnsFieldEnabled);
  EXPECT_EQ(standard.portItem, 0);
  EXPECT_EQ(standard.portText, "25");
  EXPECT_FALSE(standard.portFieldEnabled);

  const InitialSettings chosen = SettingsAtShow("192.0.2.53", "2525", true);
  EXPECT_EQ(chosen.dnsItem, 1);
  EXPECT_EQ(chosen.dnsText, "192.0.2.53");
  EXPECT_TRUE(chosen.dnsFieldEnabled);
  EXPECT_EQ(chosen.portItem, 1);
  EXPECT_EQ(chosen.portText, "2525");
  EXPECT_TRUE(chosen.portFieldEnabled);
  EXPECT_TRUE(chosen.localOnly);

  // The comparison with "25" is by text: a stored " 25" or an empty port
  // (USERPORT=1 without PORT) shows as a specific port.
  EXPECT_EQ(SettingsAtShow("", " 25", false).portItem, 1);
  EXPECT_EQ(SettingsAtShow("", "", false).portItem, 1);
}

TEST(WatchFormLogicTest, ApplyPassesTheFieldOnlyForTheSpecificItem) {
  const struct {
    int item;
    const char* field;
    const char* dns;
    const char* port;
  } cases[] = {
      {0, "2525", "", ""},      {1, "2525", "2525", "2525"},
      {1, "25", "25", ""},  // an explicit 25 is the standard port
      {1, "025", "025", "025"}, {1, "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DnsToStore(c.item, c.field), c.dns) << c.item << " " << c.field;
    EXPECT_EQ(PortToStore(c.item, c.field), c.port) << c.item << " " << c.field;
  }
}
