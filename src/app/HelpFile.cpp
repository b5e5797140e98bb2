#include "app/HelpFile.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {

void OpenPage(const AppPaths& paths, const QString& page) {
  const QString folder = QString::fromLocal8Bit(paths.HelpFolder().c_str());
  QString file = folder + QLatin1Char('/') + page;
  if (!QFileInfo::exists(file)) file = folder + QStringLiteral("/index.html");
  QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace

void OpenHelpContents(const AppPaths& paths) { OpenPage(paths, QStringLiteral("index.html")); }

void OpenHelpContext(const AppPaths& paths, int context) {
  OpenPage(paths, QStringLiteral("%1.html").arg(context));
}
