#include "ui/Test25Form.h"

#include <QPointer>

#include "app/AppIcons.h"
#include "core/SettingsFile.h"
#include "ui_Test25Form.h"

ui::ProbeTarget ParsePortTestTarget(const std::string& text) {
  ui::ProbeTarget target{kDefaultPortTestHost, 25};
  if (text.empty()) return target;
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) {
    target.host = text;
    return target;
  }
  const std::string port = text.substr(colon + 1);
  if (colon == 0 || port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos)
    return target;
  const long number = std::stol(port);
  if (number < 1 || number > 65535) return target;
  target.host = text.substr(0, colon);
  target.port = static_cast<uint16_t>(number);
  return target;
}

ui::ProbeTarget PortTestTarget(const AppPaths& paths) {
  SettingsFile settings;
  settings.Load(paths.SettingsFile());
  return ParsePortTestTarget(settings.Value(kPortTestKey));
}

TTest25Form::TTest25Form(ui::ProbeTarget target, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::TTest25Form>()), target_(std::move(target)) {
  form_->setupUi(this);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  form_->Image1->setPixmap(MakeAppIcon(AppIcon::PortTest).pixmap(32, 32));
  timer_.setObjectName(QStringLiteral("Timer"));
  timer_.setInterval(200);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &TTest25Form::TimerTimer);
  connect(form_->Button1, &QPushButton::clicked, this, &TTest25Form::Button1Click);
}

TTest25Form::~TTest25Form() = default;

void TTest25Form::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The attempt starts a little later, so the dialog is painted first; it
  // runs once per showing.
  if (!started_) {
    started_ = true;
    timer_.start();
  }
}

void TTest25Form::TimerTimer() {
  cancelled_ = false;
  QPointer<TTest25Form> self(this);
  test_.Start(target_, kTimeoutMs, [self](ui::PortProbe::Outcome outcome) {
    QMetaObject::invokeMethod(
        self.data(),
        [self, outcome] {
          if (self) self->Finished(outcome);
        },
        Qt::QueuedConnection);
  });
}

void TTest25Form::Finished(ui::PortProbe::Outcome outcome) {
  if (cancelled_) return;
  done(outcome == ui::PortProbe::Outcome::Connected ? kOk : kNo);
}

void TTest25Form::Button1Click() {
  cancelled_ = true;
  timer_.stop();
  test_.Cancel();
  done(kCancel);
}

void TTest25Form::reject() { Button1Click(); }
