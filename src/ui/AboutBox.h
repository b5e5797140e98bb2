// The About window: the product's name, version, version date, copyright
// line, contact and home page, every one from the product information file.
// The contact and the home page are links.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>

#include "core/ProductInfoFile.h"

namespace Ui {
class TAboutBox;
}

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  // Opens a link; QDesktopServices::openUrl unless a test replaces it.
  using UrlOpener = std::function<void(const QUrl&)>;

  explicit TAboutBox(const ProductInfo& product, UrlOpener openUrl = {}, QWidget* parent = nullptr);
  ~TAboutBox() override;

  void EmailClick();
  void HomeClick();

  // The link a contact value opens: "mailto:" and the address when it holds
  // an "@", else the value itself (a web page; "www.example.com" gets its
  // scheme so the browser opens it).
  static QUrl ContactUrl(const QString& contact);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow(const ProductInfo& product);

  std::unique_ptr<Ui::TAboutBox> form_;
  UrlOpener openUrl_;
};

// ShowAboutBox: the one About window, built when none is open, else brought
// to the front.
TAboutBox* ShowAboutBox(const ProductInfo& product, TAboutBox::UrlOpener openUrl = {});
