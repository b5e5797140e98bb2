// The About window: every product value, the links, the width rule and one
// window at a time.
#include "ui/AboutBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <vector>

namespace {

ProductInfo Product() {
  ProductInfo product;
  product.ProductName = "Postwick";
  product.Version = "1.0";
  product.VersionDate = "December 2026";
  product.Copyright = "Copyright (c) 2026 The Postwick developers";
  product.Email = "team@postwick.example";
  product.ProgPage = "https://postwick.example/";
  return product;
}

QString LabelText(QWidget* window, const char* name) {
  return window->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

void Click(QWidget* widget) {
  const QPointF at(2, 2);
  QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QApplication::sendEvent(widget, &release);
}

TEST(AboutBoxTest, ShowsEveryProductValue) {
  TAboutBox about(Product(), [](const QUrl&) {});
  EXPECT_EQ(about.windowTitle(), "About");
  EXPECT_EQ(LabelText(&about, "Title"), "Postwick");
  EXPECT_EQ(LabelText(&about, "Version"), "Version : 1.0");
  EXPECT_EQ(LabelText(&about, "VersionDate"), "December 2026");
  EXPECT_EQ(LabelText(&about, "Label4"), "Copyright (c) 2026 The Postwick developers");
  EXPECT_EQ(LabelText(&about, "Email"), "team@postwick.example");
  EXPECT_EQ(LabelText(&about, "Home"), "https://postwick.example/");
  EXPECT_EQ(about.findChild<QLabel*>("Home")->toolTip(), "Click here");
  EXPECT_TRUE(about.findChild<QPushButton*>("Button1")->isDefault());
  EXPECT_GE(about.width(), 425);

  // Without a product file every value is empty, and nothing is made up.
  TAboutBox empty(ProductInfo{}, [](const QUrl&) {});
  EXPECT_EQ(LabelText(&empty, "Title"), "");
  EXPECT_EQ(LabelText(&empty, "Version"), "Version : ");
  EXPECT_EQ(LabelText(&empty, "Email"), "");
}

TEST(AboutBoxTest, LinksOpenMailtoOnlyForAnAddress) {
  const struct {
    const char* contact;
    const char* opened;
  } cases[] = {
      {"team@postwick.example", "mailto:team@postwick.example"},
      {"https://postwick.example/contact", "https://postwick.example/contact"},
      {"www.postwick.example", "http://www.postwick.example"},
  };
  for (const auto& c : cases) {
    ProductInfo product = Product();
    product.Email = c.contact;
    std::vector<QUrl> opened;
    TAboutBox about(product, [&](const QUrl& url) { opened.push_back(url); });
    about.show();
    Click(about.findChild<QLabel*>("Email"));
    Click(about.findChild<QLabel*>("Home"));
    ASSERT_EQ(opened.size(), 2u) << c.contact;
    EXPECT_EQ(opened[0].toString(), c.opened) << c.contact;
    EXPECT_EQ(opened[1].toString(), "https://postwick.example/");
  }
}

TEST(AboutBoxTest, ALongHomePageWidensTheWindowAndStaysWhole) {
  ProductInfo product = Product();
  product.ProgPage = "https://postwick.example/a/rather/long/path/to/the/product/page/of/this/program.html";
  TAboutBox about(product, [](const QUrl&) {});
  about.show();
  QApplication::processEvents();
  const QLabel* home = about.findChild<QLabel*>("Home");
  EXPECT_GT(about.width(), 425);
  EXPECT_GE(home->width(), home->sizeHint().width());
  EXPECT_LE(home->mapTo(&about, QPoint(home->width(), 0)).x(), about.width());
}

TEST(AboutBoxTest, OneWindowAtATime) {
  QPointer<TAboutBox> first = ShowAboutBox(Product(), [](const QUrl&) {});
  EXPECT_EQ(ShowAboutBox(Product(), [](const QUrl&) {}), first.data());
  first->findChild<QPushButton*>("Button1")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  QPointer<TAboutBox> second = ShowAboutBox(Product(), [](const QUrl&) {});
  EXPECT_FALSE(second.isNull());
  second->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
