#include "ui/LogViewer.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "app/AppIcons.h"
#include "app/HelpFile.h"
#include "app/UserMessages.h"
#include "log/OperationLog.h"
#include "ui/LogViewerModel.h"
#include "ui/SingleWindow.h"
#include "ui/WindowHost.h"
#include "ui_LogViewer.h"

namespace {

constexpr int kFirstRefreshMs = 200;
constexpr int kRefreshMs = 2000;
constexpr int kEmailWidth = 200;
constexpr int kDateTimeWidth = 135;
constexpr int kStatusWidth = 42;
constexpr int kDetailsHeight = 22;
constexpr int kDetailsCaptionWidth = 49;
constexpr int kButtonBarHeight = 41;

QPointer<TLogViewer> LogViewer;

}  // namespace

TLogViewer::TLogViewer(TOperationLog& log, ui::WindowHost& host, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::LogViewer>()), log_(log), host_(host) {
  ui_->setupUi(this);
  setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWindowIcon(MakeAppIcon(AppIcon::Log));

  model_ = new LogViewerModel(MakeAppIcon(AppIcon::Sent), MakeAppIcon(AppIcon::Failed), this);
  ui_->View->setModel(model_);
  QHeaderView* header = ui_->View->horizontalHeader();
  header->setSectionsClickable(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setSectionResizeMode(LogViewerModel::kSubject, QHeaderView::Stretch);
  ui_->View->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ui_->View->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  FitColumns();

  // The strip and the bar keep their heights; the caption grows only where
  // the font needs more than its width.
  ui_->DetailsStrip->setFixedHeight(std::max(kDetailsHeight, ui_->ResultP->sizeHint().height()));
  ui_->DetailsCaption->setFixedWidth(
      std::max(kDetailsCaptionWidth,
               ui_->DetailsCaption->fontMetrics().horizontalAdvance(ui_->DetailsCaption->text()) + 4));
  ui_->ButtonBar->setFixedHeight(std::max(kButtonBarHeight, ui_->CloseButton->sizeHint().height() + 12));

  connect(ui_->CloseButton, &QPushButton::clicked, this, &QDialog::close);
  connect(ui_->ClearButton, &QPushButton::clicked, this, &TLogViewer::ClearClick);
  connect(ui_->HelpButton, &QPushButton::clicked, this, [this] { host_.OpenHelp(kHelpLogViewer); });
  connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
          [this] { host_.OpenHelp(kHelpLogViewer); });
  connect(ui_->View->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &TLogViewer::ShowSelectedStatus);
  timer_.setSingleShot(false);
  connect(&timer_, &QTimer::timeout, this, &TLogViewer::TimerTimer);
}

TLogViewer::~TLogViewer() = default;

// Columns keep their widths unless the font needs more for a header or a
// cell, so no text is cut off.
void TLogViewer::FitColumns() {
  const QFontMetrics metrics = ui_->View->fontMetrics();
  const int padding = 2 * ui_->View->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
  QHeaderView* header = ui_->View->horizontalHeader();
  header->resizeSection(LogViewerModel::kEmail, kEmailWidth);
  const auto headerWidth = [&](int column) {
    return header->fontMetrics().horizontalAdvance(
               model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) +
           padding + 8;
  };
  int dateWidth = std::max(headerWidth(LogViewerModel::kDateTime), kDateTimeWidth);
  if (model_->rowCount() > 0) {
    const QString sample = model_->index(model_->rowCount() - 1, LogViewerModel::kDateTime).data().toString();
    dateWidth = std::max(dateWidth, metrics.horizontalAdvance(sample) + padding);
  }
  header->resizeSection(LogViewerModel::kDateTime, dateWidth);
  const int statusWidth =
      std::max({kStatusWidth, metrics.horizontalAdvance(QStringLiteral("Failed")) + padding,
                headerWidth(LogViewerModel::kStatus)});
  header->resizeSection(LogViewerModel::kStatus, statusWidth);
}

void TLogViewer::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  if (!centred_) {
    centred_ = true;
    if (const QScreen* shown = screen()) move(shown->availableGeometry().center() - rect().center());
  }
  // A log with records is shown at the first tick, whatever LogChanged says.
  refreshOnNextTick_ = true;
  timer_.start(kFirstRefreshMs);
  ui_->View->setFocus();
  ui::BringWindowToFront(this);
}

void TLogViewer::closeEvent(QCloseEvent* event) {
  timer_.stop();
  QDialog::closeEvent(event);
}

void TLogViewer::TimerTimer() {
  timer_.setInterval(kRefreshMs);
  const bool changed = log_.TakeChanged();
  if (!changed && !refreshOnNextTick_) return;
  refreshOnNextTick_ = false;
  timer_.stop();
  Refresh();
  timer_.start();
}

// LogChanged is cleared before the lines are copied: a record written in
// between is in this copy and sets LogChanged again for the next tick, so
// none is ever missed.
void TLogViewer::Refresh() {
  const std::vector<std::string> lines = log_.Lines();
  ui_->View->setUpdatesEnabled(false);
  model_->Refresh(lines);
  const int last = model_->rowCount() - 1;
  if (last >= 0) {
    const QModelIndex index = model_->index(last, 0);
    ui_->View->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ui_->View->scrollTo(index);
    ui_->View->setFocus();
  }
  FitColumns();
  ui_->View->setUpdatesEnabled(true);
  ShowSelectedStatus();
}

void TLogViewer::ShowSelectedStatus() {
  const QModelIndex current = ui_->View->selectionModel()->currentIndex();
  const QString status =
      current.isValid() ? current.data(LogViewerModel::kStatusTextRole).toString() : QString();
  ui_->ResultP->setText(QLatin1Char(' ') + status);
  ui_->ResultP->setCursorPosition(0);
}

void TLogViewer::ClearClick() {
  if (!UserMessages::Confirm(QStringLiteral("Clear the log file?"), this)) return;
  timer_.stop();
  log_.Clear();
  model_->Clear();
  ShowSelectedStatus();
  timer_.start();
}

TLogViewer* ShowLogViewer(TOperationLog& log, ui::WindowHost& host) {
  return ui::ShowSingleWindow(LogViewer, [&] { return new TLogViewer(log, host); });
}
