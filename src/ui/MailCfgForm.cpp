#include "ui/MailCfgForm.h"

#include <QListWidget>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>

#include "app/AppIcons.h"
#include "app/HelpFile.h"
#include "app/UserMessages.h"
#include "ui/MailCfgFormTexts.h"
#include "ui/SingleWindow.h"
#include "ui/Test25Form.h"
#include "ui/WindowHost.h"
#include "ui_MailCfgForm.h"

namespace {

constexpr QSize kDesignSize(518, 352);
constexpr int kIconSize = 32;

QPointer<TMailCfgForm> MailCfgForm;

QString Text(const std::string& s) {
  return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}
std::string Bytes(const QString& s) { return s.toLocal8Bit().toStdString(); }

}  // namespace

TMailCfgForm::TMailCfgForm(ui::WindowHost& host, MailAccountSources sources, ui::ProbeTarget portTest,
                           QWidget* parent)
    : QDialog(parent),
      form_(std::make_unique<Ui::TMailCfgForm>()),
      host_(host),
      sources_(std::move(sources)),
      portTest_(std::move(portTest)) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(MakeAppIcon(AppIcon::Configure));
  form_->Label1->setText(QString::fromLatin1(mailcfg_texts::kAccountsNote));
  form_->Label2->setText(QString::fromLatin1(mailcfg_texts::kOutlookSteps));
  form_->Label3->setText(QString::fromLatin1(mailcfg_texts::kOtherProgramsSteps));
  form_->Label4->setText(QString::fromLatin1(mailcfg_texts::kPortTestExplanation));

  // Page icons, and the same picture beside each page's title.
  const AppIcon pageIcons[] = {AppIcon::Configure, AppIcon::ContactUs, AppIcon::OtherProducts,
                               AppIcon::PortTest};
  QLabel* const images[] = {form_->Image1, form_->Image2, form_->Image3, form_->Image4};
  for (int page = 0; page < 4; ++page) {
    const QIcon icon = MakeAppIcon(pageIcons[page]);
    form_->PageControl1->setTabIcon(page, icon);
    images[page]->setPixmap(icon.pixmap(kIconSize, kIconSize));
  }

  const auto help = [this](int context) { return [this, context] { host_.OpenHelp(context); }; };
  connect(form_->Button1, &QPushButton::clicked, this, &TMailCfgForm::Button1Click);
  connect(form_->Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(form_->Button3, &QPushButton::clicked, this, help(kHelpConfiguring));
  connect(form_->Button4, &QPushButton::clicked, this, help(kHelpOutlook));
  connect(form_->Button5, &QPushButton::clicked, this, help(kHelpOutlookExpress));
  connect(form_->Button6, &QPushButton::clicked, this, help(kHelpOtherPrograms));
  connect(form_->Button7, &QPushButton::clicked, this, &TMailCfgForm::RunPortTest);
  connect(form_->Button8, &QPushButton::clicked, this, help(kHelpConfiguring));
  connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
          help(kHelpConfiguring));
  FitToContent();
}

TMailCfgForm::~TMailCfgForm() = default;

// A fixed frame at the design size, taller or wider only where the desktop's
// font needs it; the wrapped texts get their height at the final width.
void TMailCfgForm::FitToContent() {
  // Every page title and button keeps its whole text.
  form_->PageControl1->tabBar()->setUsesScrollButtons(false);
  form_->PageControl1->tabBar()->setElideMode(Qt::ElideNone);
  for (QPushButton* button : findChildren<QPushButton*>())
    button->setMinimumWidth(button->sizeHint().width());
  layout()->activate();
  const int width = std::max(kDesignSize.width(), layout()->totalMinimumSize().width());
  int height = layout()->totalSizeHint().height();
  if (layout()->hasHeightForWidth()) height = std::max(height, layout()->totalHeightForWidth(width));
  setFixedSize(width, std::max(kDesignSize.height(), height));
}

void TMailCfgForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (filled_) return;
  filled_ = true;
  FillAccounts();
  if (const QScreen* shown = screen()) move(shown->availableGeometry().center() - rect().center());
  form_->ListView->setFocus();
  ui::BringWindowToFront(this);
}

void TMailCfgForm::FillAccounts() {
  QListWidget* list = form_->ListView;
  list->clear();
  std::vector<std::string> lines;
  for (std::size_t source = 0; source < sources_.size(); ++source) {
    sources_[source]->ReadMailAccounts(lines);
    for (const std::string& line : lines) {
      const MailAccount account = SplitMailAccount(line);
      auto* row = new QListWidgetItem(Text(account.AccountName), list);
      row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      row->setCheckState(account.Configured ? Qt::Checked : Qt::Unchecked);
      row->setData(kAccountLineRole, Text(line));
      row->setData(kSourceRole, static_cast<int>(source));
      row->setData(kLoadedTickRole, account.Configured ? QStringLiteral("1") : QStringLiteral("0"));
    }
  }
  if (list->count() > 0) list->setCurrentRow(0);
}

// Ok: every row whose tick differs from the loaded one is configured or
// restored. A program that holds its settings open (a running Thunderbird
// would overwrite them) refuses; then nothing is written and the window
// stays open, so the user can close that program and press Ok again.
void TMailCfgForm::Button1Click() {
  std::vector<std::vector<MailAccountChange>> changes(sources_.size());
  QListWidget* list = form_->ListView;
  for (int i = 0; i < list->count(); ++i) {
    const QListWidgetItem* row = list->item(i);
    const bool ticked = row->checkState() == Qt::Checked;
    const bool wasOn = row->data(kLoadedTickRole).toString() == QLatin1String("1");
    if (ticked == wasOn) continue;
    const auto source = static_cast<std::size_t>(row->data(kSourceRole).toInt());
    changes[source].push_back(
        MailAccountChange{SplitMailAccount(Bytes(row->data(kAccountLineRole).toString())), ticked});
  }
  std::string refusals;
  for (std::size_t source = 0; source < sources_.size(); ++source) {
    if (changes[source].empty()) continue;
    const std::string why = sources_[source]->WhyNotWritable(changes[source]);
    if (!why.empty()) refusals += (refusals.empty() ? "" : "\n") + why;
  }
  if (!refusals.empty()) {
    UserMessages::Error(Text(refusals), this);
    return;
  }
  std::vector<std::string> changedPrograms;
  const std::string listenPort = host_.ListenPort();
  for (std::size_t source = 0; source < sources_.size(); ++source) {
    if (changes[source].empty()) continue;
    if (sources_[source]->ApplyChanges(changes[source], listenPort)) {
      changedPrograms.push_back(sources_[source]->ProgramName());
    }
  }
  if (!changedPrograms.empty()) {
    UserMessages::Information(QString::fromLatin1(mailcfg_texts::kRestartBefore) +
                                  Text(JoinProgramNames(changedPrograms)) +
                                  QString::fromLatin1(mailcfg_texts::kRestartAfter),
                              this);
  }
  close();
}

void TMailCfgForm::RunPortTest() {
  TTest25Form dialog(portTest_, this);
  const int result = dialog.exec();
  if (result == TTest25Form::kOk) {
    UserMessages::Information(QString::fromLatin1(mailcfg_texts::kTestSucceeded), this);
  } else if (result == TTest25Form::kNo) {
    UserMessages::Error(QString::fromLatin1(mailcfg_texts::kTestFailed), this);
  }
}

TMailCfgForm* ShowMailCfgForm(ui::WindowHost& host, const std::function<MailAccountSources()>& sources,
                              ui::ProbeTarget portTest) {
  return ui::ShowSingleWindow(MailCfgForm,
                              [&] { return new TMailCfgForm(host, sources(), std::move(portTest)); });
}
