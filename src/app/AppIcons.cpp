#include "app/AppIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace {

// An envelope with an arrow: mail going out.
QPixmap TrayPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  const QRectF envelope(s * 0.06, s * 0.22, s * 0.72, s * 0.52);
  painter.setPen(QPen(QColor(0x1f, 0x3a, 0x60), s / 16.0));
  painter.setBrush(QColor(0xf4, 0xf1, 0xe6));
  painter.drawRoundedRect(envelope, s * 0.05, s * 0.05);
  QPainterPath flap;
  flap.moveTo(envelope.topLeft());
  flap.lineTo(envelope.center().x(), envelope.top() + envelope.height() * 0.55);
  flap.lineTo(envelope.topRight());
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(flap);
  QPainterPath arrow;
  arrow.moveTo(s * 0.58, s * 0.62);
  arrow.lineTo(s * 0.80, s * 0.62);
  arrow.lineTo(s * 0.80, s * 0.52);
  arrow.lineTo(s * 0.97, s * 0.72);
  arrow.lineTo(s * 0.80, s * 0.92);
  arrow.lineTo(s * 0.80, s * 0.82);
  arrow.lineTo(s * 0.58, s * 0.82);
  arrow.closeSubpath();
  painter.setPen(QPen(QColor(0x0b, 0x5d, 0x1e), s / 24.0));
  painter.setBrush(QColor(0x2e, 0xa0, 0x43));
  painter.drawPath(arrow);
  return pixmap;
}

QStyle::StandardPixmap StandardFor(AppIcon which) {
  switch (which) {
    case AppIcon::Open:
      return QStyle::SP_DesktopIcon;
    case AppIcon::Log:
      return QStyle::SP_FileDialogDetailedView;
    case AppIcon::Configure:
      return QStyle::SP_FileDialogContentsView;
    case AppIcon::HomePage:
      return QStyle::SP_DirHomeIcon;
    case AppIcon::OtherProducts:
      return QStyle::SP_DirOpenIcon;
    case AppIcon::ContactUs:
      return QStyle::SP_MessageBoxQuestion;
    case AppIcon::Help:
      return QStyle::SP_DialogHelpButton;
    case AppIcon::About:
      return QStyle::SP_MessageBoxInformation;
    case AppIcon::Exit:
      return QStyle::SP_DialogCloseButton;
    case AppIcon::Tray:
      break;
  }
  return QStyle::SP_CustomBase;
}

}  // namespace

QIcon MakeAppIcon(AppIcon which) {
  if (which == AppIcon::Tray) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(TrayPixmap(size));
    return icon;
  }
  return QApplication::style()->standardIcon(StandardFor(which));
}
