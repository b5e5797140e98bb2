#include "ui/PortChangeForm.h"

#include "app/AppIcons.h"
#include "app/HelpFile.h"
#include "ui/WindowSize.h"
#include "ui_PortChangeForm.h"

TPortChangeForm::TPortChangeForm(ui::WindowHost& host, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::TPortChangeForm>()), host_(host) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(MakeAppIcon(AppIcon::Tray));
  form_->Image1->setPixmap(MakeAppIcon(AppIcon::Information).pixmap(32, 32));
  for (QLabel* advice : {form_->Label2, form_->Label3}) {
    QPalette palette = advice->palette();
    palette.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));  // navy
    advice->setPalette(palette);
  }
  connect(form_->RadioButton1, &QRadioButton::toggled, this, &TPortChangeForm::RadioButton1Click);
  connect(form_->RadioButton2, &QRadioButton::toggled, this, &TPortChangeForm::RadioButton1Click);
  connect(form_->Button1, &QPushButton::clicked, this, &TPortChangeForm::Button1Click);
  connect(form_->Button3, &QPushButton::clicked, this, &QDialog::reject);
  connect(form_->Button2, &QPushButton::clicked, this, [this] { host_.OpenHelp(kHelpConfiguring); });
  // The window is as wide as the choices' texts (a radio button does not
  // wrap) and at least its design width; the explanations wrap within it and
  // the height follows them.
  layout()->activate();
  const int width = std::max(561, layout()->totalSizeHint().width());
  setFixedSize(width, std::max(337, layout()->totalHeightForWidth(width)));
}

TPortChangeForm::~TPortChangeForm() = default;

void TPortChangeForm::RadioButton1Click() { form_->SpinEdit1->setEnabled(form_->RadioButton2->isChecked()); }

void TPortChangeForm::Button1Click() {
  if (form_->RadioButton2->isChecked()) {
    host_.SavePort(std::to_string(form_->SpinEdit1->value()), host_.LocalOnly());
    host_.UpdateAccountPorts();
  }
  accept();
}

void ShowPortChangeForm(ui::WindowHost& host) {
  TPortChangeForm dialog(host);
  dialog.exec();
}
