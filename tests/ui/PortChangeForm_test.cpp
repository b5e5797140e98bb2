// The port-in-use dialog: the port field follows the second choice, OK with
// it stores the port and updates the accounts, anything else stores nothing.
#include "ui/PortChangeForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "FakeWindowHost.h"

using namespace testing_support;

TEST(PortChangeFormTest, PortFieldIsEnabledOnlyWithTheAlternativePortChoice) {
  FakeWindowHost host;
  TPortChangeForm dialog(host);
  auto* field = dialog.findChild<QSpinBox*>("SpinEdit1");
  EXPECT_EQ(dialog.windowTitle(), "Information");
  EXPECT_TRUE(dialog.findChild<QRadioButton*>("RadioButton1")->isChecked());
  EXPECT_FALSE(field->isEnabled());
  EXPECT_EQ(field->value(), 2525);
  dialog.findChild<QRadioButton*>("RadioButton2")->click();
  EXPECT_TRUE(field->isEnabled());
  dialog.findChild<QRadioButton*>("RadioButton1")->click();
  EXPECT_FALSE(field->isEnabled());

  // A radio button does not wrap: the window is wide enough for both texts.
  dialog.show();
  QCoreApplication::processEvents();
  for (const char* name : {"RadioButton1", "RadioButton2"}) {
    auto* choice = dialog.findChild<QRadioButton*>(name);
    EXPECT_GE(choice->width(), choice->sizeHint().width()) << name << " is cut off";
  }
}

// Each row answers the modal dialog as a user would, while it runs.
TEST(PortChangeFormTest, OnlyOkWithTheAlternativePortStoresIt) {
  const struct {
    const char* name;
    bool alternative;
    const char* button;
    bool stored;
  } cases[] = {
      {"OK with the alternative port", true, "Button1", true},
      {"OK with the first choice", false, "Button1", false},
      {"Cancel with the alternative port", true, "Button3", false},
  };
  for (const auto& c : cases) {
    FakeWindowHost host;
    host.localOnly = true;
    QTimer::singleShot(50, [&] {
      auto* dialog = qobject_cast<TPortChangeForm*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      if (c.alternative) dialog->findChild<QRadioButton*>("RadioButton2")->click();
      dialog->findChild<QSpinBox*>("SpinEdit1")->setValue(2600);
      dialog->findChild<QPushButton*>(c.button)->click();
    });
    ShowPortChangeForm(host);
    if (c.stored) {
      ASSERT_EQ(host.savedPorts.size(), 1u) << c.name;
      EXPECT_EQ(host.savedPorts[0], std::make_pair(std::string("2600"), true)) << c.name;
      EXPECT_EQ(host.accountUpdates, 1) << c.name;
    } else {
      EXPECT_TRUE(host.savedPorts.empty()) << c.name;
      EXPECT_EQ(host.accountUpdates, 0) << c.name;
    }
  }
}

TEST(PortChangeFormTest, HelpOpensTopic1001) {
  FakeWindowHost host;
  TPortChangeForm dialog(host);
  dialog.findChild<QPushButton*>("Button2")->click();
  EXPECT_EQ(host.helpOpened, std::vector<int>{1001});
}
