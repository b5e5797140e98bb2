#include "app/QtMessages.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>

#include "app/LastSave.h"

namespace {

bool showAll = false;

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) LastSave::Now();
  if (!showAll && type != QtFatalMsg) return;
  std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
  std::fflush(stderr);
}

}  // namespace

void InstallQtMessageFilter(bool verbose) {
  showAll = verbose;
  qInstallMessageHandler(Filter);
}
