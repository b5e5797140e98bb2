#include "ui/WatchForm.h"

#include <QButtonGroup>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QShowEvent>

#include "app/AppIcons.h"
#include "app/HelpFile.h"
#include "ui/SingleWindow.h"
#include "ui/WatchFormLogic.h"
#include "ui/WindowSize.h"
#include "ui_WatchForm.h"

namespace {

QPointer<TWatchForm> WatchForm;

const QColor kLinkBlue(Qt::blue);
const QColor kLinkRed(Qt::red);

QString Text(const std::string& s) { return QString::fromLocal8Bit(s.c_str()); }
std::string Std(const QString& s) { return s.toLocal8Bit().toStdString(); }

// LED-style counters: light digits on dark green.
void StyleCounter(QLCDNumber* counter) {
  QPalette palette = counter->palette();
  palette.setColor(QPalette::Window, QColor(0x00, 0x40, 0x00));
  palette.setColor(QPalette::WindowText, QColor(0x40, 0xff, 0x40));
  palette.setColor(QPalette::Light, QColor(0x40, 0xff, 0x40));
  palette.setColor(QPalette::Dark, QColor(0x00, 0x20, 0x00));
  counter->setPalette(palette);
}

// The display, and the same text for screen readers (a segment display has
// no text of its own).
void ShowCount(QLCDNumber* counter, const QString& text) {
  counter->display(text);
  counter->setAccessibleName(text);
}

}  // namespace

TWatchForm::TWatchForm(ui::WindowHost& host, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::TWatchForm>()), host_(host) {
  form_->setupUi(this);
  // FormCreate: the window's caption is the product's name.
  setWindowTitle(Text(host_.ProductName()));
  setWindowIcon(MakeAppIcon(AppIcon::Tray));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  // Enter in a field must not press a Zero button.
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);
  for (QLCDNumber* counter : {form_->SentMessages, form_->SendingErrors}) {
    StyleCounter(counter);
    ShowCount(counter, QStringLiteral("00000"));
  }
  form_->DNSButtons->setId(form_->DNSAutodetect, 0);
  form_->DNSButtons->setId(form_->DNSSpecific, 1);
  form_->PortButtons->setId(form_->PortStandard, 0);
  form_->PortButtons->setId(form_->PortSpecific, 1);
  form_->SpecificPort->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), form_->SpecificPort));

  // The tip strip: an icon and a link to the help on setting up the mail
  // program, red while the mouse is over it.
  form_->TipImage->setPixmap(MakeAppIcon(AppIcon::Tip).pixmap(16, 16));
  QFont linkFont = form_->TipLink->font();
  linkFont.setBold(true);
  linkFont.setUnderline(true);
  form_->TipLink->setFont(linkFont);
  SetTipLinkColour(kLinkBlue);
  form_->TipImage->installEventFilter(this);
  form_->TipLink->installEventFilter(this);

  // The large buttons and the home menu run the controller's actions.
  const struct {
    QToolButton* button;
    AppIcon icon;
  } buttons[] = {
      {form_->HelpButton, AppIcon::Help},
      {form_->HomePage, AppIcon::HomePage},
      {form_->OtherProductsButton, AppIcon::OtherProducts},
      {form_->LogButton, AppIcon::Log},
      {form_->ConfigButton, AppIcon::Configure},
      {form_->ExitButton, AppIcon::Exit},
  };
  for (const auto& row : buttons) row.button->setIcon(MakeAppIcon(row.icon));
  homeMenu_ = new QMenu(this);
  homeMenu_->setObjectName(QStringLiteral("HomeMenu"));
  homeMenu_->addAction(host_.Action(ui::HostAction::HomePage));
  homeMenu_->addAction(host_.Action(ui::HostAction::OtherProducts));
  homeMenu_->addSeparator();
  homeMenu_->addAction(host_.Action(ui::HostAction::HelpAction));
  homeMenu_->addAction(host_.Action(ui::HostAction::AboutProgram));
  homeMenu_->addSeparator();
  homeMenu_->addAction(host_.Action(ui::HostAction::ContactUs));
  form_->HomePage->setMenu(homeMenu_);
  form_->HomePage->setPopupMode(QToolButton::InstantPopup);
  auto runs = [this](QAbstractButton* button, ui::HostAction action) {
    connect(button, &QAbstractButton::clicked, this, [this, action] { host_.Action(action)->trigger(); });
  };
  runs(form_->HelpButton, ui::HostAction::HelpAction);
  runs(form_->OtherProductsButton, ui::HostAction::OtherProducts);
  runs(form_->LogButton, ui::HostAction::LogAction);
  runs(form_->ConfigButton, ui::HostAction::MailCfgAction);
  connect(form_->ExitButton, &QAbstractButton::clicked, this, &TWatchForm::ExitButtonClick);

  connect(form_->LMDSpeedButton2, &QPushButton::clicked, this, [this] {
    host_.ZeroSentCount();
    ShowCount(form_->SentMessages, QStringLiteral("00000"));
  });
  connect(form_->LMDSpeedButton3, &QPushButton::clicked, this, [this] {
    host_.ZeroFailedCount();
    ShowCount(form_->SendingErrors, QStringLiteral("00000"));
  });

  connect(form_->DNSButtons, &QButtonGroup::idClicked, this, &TWatchForm::ChangeDNSButton);
  connect(form_->SpecificDNS, &QLineEdit::textChanged, this,
          [this] { form_->ApplyButton->setEnabled(true); });
  connect(form_->ApplyButton, &QPushButton::clicked, this, &TWatchForm::ApplyExec);
  connect(form_->PortButtons, &QButtonGroup::idClicked, this, &TWatchForm::PortButtonsGroupChange);
  connect(form_->SpecificPort, &QLineEdit::textChanged, this, [this] { form_->ApplyPort->setEnabled(true); });
  connect(form_->FireWall, &QCheckBox::toggled, this, [this] { form_->ApplyPort->setEnabled(true); });
  connect(form_->ApplyPort, &QPushButton::clicked, this, &TWatchForm::ApplyPortClick);

  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, [this] { host_.OpenHelp(kHelpMainWindow); });

  timer1_.setObjectName(QStringLiteral("Timer1"));
  timer1_.setInterval(kRefreshMs);
  timer1_.setSingleShot(true);
  connect(&timer1_, &QTimer::timeout, this, &TWatchForm::Timer1Timer);
  timer1_.start();

  ui::FixToContent(this, QSize(505, 377));
}

TWatchForm::~TWatchForm() = default;

void TWatchForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TWatchForm::FormShow() {
  const watch::InitialSettings settings =
      watch::SettingsAtShow(host_.UserDnsServer(), host_.ListenPort(), host_.LocalOnly());
  if (settings.dnsItem == 1) {
    form_->SpecificDNS->setText(Text(settings.dnsText));
    form_->DNSSpecific->setChecked(true);
    form_->SpecificDNS->setEnabled(true);
  }
  if (settings.portItem == 1) {
    form_->SpecificPort->setText(Text(settings.portText));
    form_->PortSpecific->setChecked(true);
    form_->SpecificPort->setEnabled(true);
  }
  form_->FireWall->setChecked(settings.localOnly);
  // Whatever the changes above enabled, both sections start unchanged.
  form_->ApplyButton->setEnabled(false);
  form_->ApplyPort->setEnabled(false);
  Timer1Timer();
  ui::BringWindowToFront(this);
}

void TWatchForm::Timer1Timer() {
  timer1_.stop();
  const auto show = [](QLCDNumber* counter, int64_t value) {
    const QString text = QString::fromStdString(watch::CounterText(value));
    // The display is written only when its value changed.
    if (counter->accessibleName() == text) return;
    ShowCount(counter, text);
  };
  show(form_->SentMessages, host_.SentCount());
  show(form_->SendingErrors, host_.FailedCount());
  const int load = host_.ThreadLoad();
  if (form_->ThreadLoadProgress->value() != load) form_->ThreadLoadProgress->setValue(load);
  const QString tip = Text(watch::TipText(host_.ListenPort()));
  if (form_->TipLink->text() != tip) form_->TipLink->setText(tip);
  timer1_.start();
}

int TWatchForm::SelectedDnsItem() const { return form_->DNSButtons->checkedId() == 1 ? 1 : 0; }
int TWatchForm::SelectedPortItem() const { return form_->PortButtons->checkedId() == 1 ? 1 : 0; }

void TWatchForm::ChangeDNSButton(int index) {
  form_->ApplyButton->setEnabled(true);
  form_->SpecificDNS->setEnabled(index == 1);
}

void TWatchForm::ApplyExec() {
  host_.SaveDNS(watch::DnsToStore(SelectedDnsItem(), Std(form_->SpecificDNS->text())));
  form_->ApplyButton->setEnabled(false);
}

void TWatchForm::PortButtonsGroupChange(int index) {
  form_->ApplyPort->setEnabled(true);
  form_->SpecificPort->setEnabled(index == 1);
  if (index == 0) form_->SpecificPort->setText(QStringLiteral("25"));
}

void TWatchForm::ApplyPortClick() {
  const int item = SelectedPortItem();
  host_.SavePort(watch::PortToStore(item, Std(form_->SpecificPort->text())), form_->FireWall->isChecked());
  form_->SpecificPort->setEnabled(item == 1);
  host_.UpdateAccountPorts();
  form_->ApplyPort->setEnabled(false);
}

void TWatchForm::ExitButtonClick() {
  // The window goes first; the controller ends the program shortly after.
  QAction* exit = host_.Action(ui::HostAction::ExitAction);
  close();
  exit->trigger();
}

void TWatchForm::SetTipLinkColour(const QColor& colour) {
  QPalette palette = form_->TipLink->palette();
  palette.setColor(QPalette::WindowText, colour);
  form_->TipLink->setPalette(palette);
}

bool TWatchForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_->TipLink && event->type() == QEvent::Enter) SetTipLinkColour(kLinkRed);
  if (watched == form_->TipLink && event->type() == QEvent::Leave) SetTipLinkColour(kLinkBlue);
  if ((watched == form_->TipLink || watched == form_->TipImage) &&
      event->type() == QEvent::MouseButtonRelease) {
    host_.OpenHelp(kHelpConfiguring);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

TWatchForm* ShowMainWindow(ui::WindowHost& host) {
  return ui::ShowSingleWindow(WatchForm, [&host] { return new TWatchForm(host); });
}
