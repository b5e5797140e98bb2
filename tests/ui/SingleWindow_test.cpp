// The one-window-per-kind rule and the icons every window shares.
#include "ui/SingleWindow.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPointer>
#include <QWidget>

#include "app/AppIcons.h"

TEST(SingleWindowTest, SecondRequestRaisesTheOpenWindowAndAClosedOneIsBuiltAgain) {
  QPointer<QWidget> reference;
  int built = 0;
  auto create = [&] {
    ++built;
    return new QWidget;
  };
  QWidget* first = ui::ShowSingleWindow(reference, create);
  ASSERT_TRUE(first->isVisible());
  EXPECT_EQ(ui::ShowSingleWindow(reference, create), first);
  EXPECT_EQ(built, 1);

  // Closing frees the window and clears the reference.
  first->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(reference.isNull());
  QWidget* second = ui::ShowSingleWindow(reference, create);
  EXPECT_EQ(built, 2);
  EXPECT_TRUE(second->testAttribute(Qt::WA_DeleteOnClose));
  second->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Every bundled drawing is compiled in and renders: a bare desktop without
// an icon theme still shows complete windows.
TEST(AppIconsTest, EveryBundledIconRendersOpaquePixels) {
  for (int i = static_cast<int>(AppIcon::Tray); i <= static_cast<int>(AppIcon::Failed); ++i) {
    const auto which = static_cast<AppIcon>(i);
    const QImage image = BundledAppIcon(which).pixmap(32, 32).toImage();
    ASSERT_FALSE(image.isNull()) << "icon " << i;
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) > 0;
    EXPECT_GT(opaque, 32) << "icon " << i << " draws nothing";
    EXPECT_FALSE(MakeAppIcon(which).isNull()) << "icon " << i;
  }
}
