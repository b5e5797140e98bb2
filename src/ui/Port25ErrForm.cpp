#include "ui/Port25ErrForm.h"

#include <QShowEvent>

#include "app/AppIcons.h"
#include "ui/SingleWindow.h"
#include "ui_Port25ErrForm.h"

TPort25ErrForm::TPort25ErrForm(ui::WindowHost& host, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::TPort25ErrForm>()), host_(host) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(MakeAppIcon(AppIcon::Tray));
  form_->Image1->setPixmap(MakeAppIcon(AppIcon::Warning).pixmap(32, 32));
  connect(form_->Button1, &QPushButton::clicked, this, &QDialog::close);
  connect(form_->Button2, &QPushButton::clicked, this, [this] { host_.OpenHelp(helpTopic_); });
}

TPort25ErrForm::~TPort25ErrForm() = default;

void TPort25ErrForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TPort25ErrForm::FormShow() {
  setWindowTitle(QString::fromLocal8Bit(host_.ProductName().c_str()));
  form_->Label1->setText(warningText_);
  // The buttons sit two thirds of a button height below the text, and the
  // window is as tall as the wrapped text needs.
  const int gap = 2 * (form_->Button1->sizeHint().height() / 3);
  auto* grid = static_cast<QGridLayout*>(layout());
  grid->setVerticalSpacing(0);
  form_->buttonGap->changeSize(0, gap, QSizePolicy::Minimum, QSizePolicy::Fixed);
  grid->invalidate();
  grid->activate();
  const int width = std::max(550, grid->totalSizeHint().width());
  setFixedSize(width, grid->totalHeightForWidth(width));
  ui::BringWindowToFront(this);
}
