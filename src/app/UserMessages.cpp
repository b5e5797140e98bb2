#include "app/UserMessages.h"

#include <QMessageBox>
#include <cstdio>

namespace {

bool headless = false;
UserMessages::Recorder recorder;

}  // namespace

const char* UserMessages::Caption(Kind kind) {
  switch (kind) {
    case UserMessages::Kind::Information:
      return "Information";
    case UserMessages::Kind::Error:
      return "Error";
    case UserMessages::Kind::Confirm:
      return "Confirm";
  }
  return "";
}

namespace {

bool Present(UserMessages::Kind kind, const QString& text, QWidget* parent) {
  if (recorder) return recorder(kind, text);
  if (headless) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace('\n', ' ').replace('\r', ' ');
    std::fprintf(stderr, "%s: %s\n", UserMessages::Caption(kind), line.toLocal8Bit().constData());
    std::fflush(stderr);
    return true;
  }
  const QString caption = QString::fromLatin1(UserMessages::Caption(kind));
  switch (kind) {
    case UserMessages::Kind::Information:
      QMessageBox::information(parent, caption, text);
      return true;
    case UserMessages::Kind::Error:
      QMessageBox::critical(parent, caption, text);
      return true;
    case UserMessages::Kind::Confirm:
      return QMessageBox::question(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel) ==
             QMessageBox::Ok;
  }
  return false;
}

}  // namespace

void UserMessages::SetHeadless(bool value) { headless = value; }
bool UserMessages::Headless() { return headless; }
void UserMessages::SetRecorder(Recorder value) { recorder = std::move(value); }
void UserMessages::Information(const QString& text, QWidget* parent) {
  Present(Kind::Information, text, parent);
}
void UserMessages::Error(const QString& text, QWidget* parent) { Present(Kind::Error, text, parent); }
bool UserMessages::Confirm(const QString& text, QWidget* parent) {
  return Present(Kind::Confirm, text, parent);
}

UserMessages::ScopedResponder::ScopedResponder(Recorder responder) : previous_(std::move(recorder)) {
  recorder = std::move(responder);
}

UserMessages::ScopedResponder::~ScopedResponder() { recorder = std::move(previous_); }
