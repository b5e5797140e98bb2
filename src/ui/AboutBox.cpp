#include "ui/AboutBox.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QScreen>

#include "app/AppIcons.h"
#include "ui/SingleWindow.h"
#include "ui_AboutBox.h"

namespace {

constexpr QSize kDesignSize(425, 241);
constexpr int kImageSize = 32;
constexpr int kHomeMargin = 8;

QPointer<TAboutBox> AboutBox;

QString Text(const std::string& s) {
  return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

void MakeLink(QLabel* link) {
  link->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
  link->setCursor(Qt::PointingHandCursor);
  link->setToolTip(QStringLiteral("Click here"));
}

}  // namespace

TAboutBox::TAboutBox(const ProductInfo& product, UrlOpener openUrl, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::TAboutBox>()), openUrl_(std::move(openUrl)) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  if (!openUrl_) openUrl_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  QFont title = form_->Title->font();
  title.setPointSizeF(title.pointSizeF() * 1.8);
  title.setBold(true);
  form_->Title->setFont(title);
  MakeLink(form_->Email);
  MakeLink(form_->Home);
  form_->Email->installEventFilter(this);
  form_->Home->installEventFilter(this);
  connect(form_->Button1, &QPushButton::clicked, this, &QDialog::close);
  FormShow(product);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::FormShow(const ProductInfo& product) {
  form_->Title->setText(Text(product.ProductName));
  form_->Version->setText(QStringLiteral("Version : ") + Text(product.Version));
  form_->VersionDate->setText(Text(product.VersionDate));
  form_->Email->setText(Text(product.Email));
  form_->Home->setText(Text(product.ProgPage));
  form_->Label4->setText(Text(product.Copyright));

  // The picture in the middle of its frame.
  const QIcon icon = MakeAppIcon(AppIcon::Tray);
  form_->Image1->setPixmap(icon.pixmap(kImageSize, kImageSize));
  form_->Image1->setGeometry((form_->Panel2->width() - kImageSize) / 2,
                             (form_->Panel2->height() - kImageSize) / 2, kImageSize, kImageSize);

  // The content is as wide as the home page link needs plus a margin, so a
  // long home page widens the window; never narrower than the design.
  layout()->activate();
  const QSize needed = layout()->totalSizeHint();
  const int homeRight = form_->Home->x() + form_->Home->sizeHint().width() + kHomeMargin;
  setFixedSize(
      needed.expandedTo(kDesignSize).expandedTo(QSize(homeRight + layout()->contentsMargins().right(), 0)));
  if (const QScreen* shown = screen()) move(shown->availableGeometry().center() - rect().center());
}

QUrl TAboutBox::ContactUrl(const QString& contact) {
  if (contact.contains(QLatin1Char('@'))) return QUrl(QStringLiteral("mailto:") + contact);
  return QUrl::fromUserInput(contact);
}

void TAboutBox::EmailClick() { openUrl_(ContactUrl(form_->Email->text())); }
void TAboutBox::HomeClick() { openUrl_(QUrl::fromUserInput(form_->Home->text())); }

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == form_->Email) EmailClick();
    if (watched == form_->Home) HomeClick();
  }
  return QDialog::eventFilter(watched, event);
}

TAboutBox* ShowAboutBox(const ProductInfo& product, TAboutBox::UrlOpener openUrl) {
  return ui::ShowSingleWindow(AboutBox, [&] { return new TAboutBox(product, std::move(openUrl)); });
}
