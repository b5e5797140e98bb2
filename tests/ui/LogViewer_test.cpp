// The log viewer driven by object name on the offscreen platform.
#include "ui/LogViewer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <functional>
#include <vector>

#include "app/AppIcons.h"
#include "app/UserMessages.h"
#include "log/OperationLog.h"
#include "ui/FakeWindowHost.h"

namespace {

void RunEventsFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

QImage ImageOf(const QVariant& icon) { return icon.value<QIcon>().pixmap(16, 16).toImage(); }

class LogViewerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (viewer) viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  void Open() {
    viewer = ShowLogViewer(log, host);
    view = viewer->findChild<QTableView*>(QStringLiteral("View"));
    result = viewer->findChild<QLineEdit*>(QStringLiteral("ResultP"));
    ASSERT_NE(view, nullptr);
    ASSERT_NE(result, nullptr);
  }
  QString Cell(int row, int column) const { return view->model()->index(row, column).data().toString(); }
  int Rows() const { return view->model()->rowCount(); }
  int SelectedRow() const {
    const auto rows = view->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.front().row() : -1;
  }
  void Write(bool sent, const std::string& recipient, const std::string& status = "Sent successfully") {
    log.WriteLogRecord(sent, true, recipient, "Subject of " + recipient, status);
  }

  TOperationLog log;
  QPointer<TLogViewer> viewer;
  QTableView* view = nullptr;
  QLineEdit* result = nullptr;
  testing_support::FakeWindowHost host;
};

TEST_F(LogViewerTest, EmptyLogThenARecordShowsWithinTwoSecondsSelected) {
  Open();
  EXPECT_EQ(viewer->windowTitle(), "Log File - last 1000 operations");
  RunEventsFor(300);
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(result->text(), " ");
  Write(true, "ann@example.com");
  ASSERT_TRUE(WaitFor([&] { return Rows() == 1; }, 2500));
  EXPECT_EQ(Cell(0, 0), "ann@example.com");
  EXPECT_EQ(Cell(0, 1), "Subject of ann@example.com");
  EXPECT_EQ(Cell(0, 3), "Ok");
  EXPECT_EQ(SelectedRow(), 0);
  EXPECT_EQ(result->text(), " Sent successfully");
}

TEST_F(LogViewerTest, ANonEmptyLogIsShownAtTheFirstTick) {
  Write(true, "ann@example.com");
  log.TakeChanged();  // seen by someone else already
  Open();
  ASSERT_TRUE(WaitFor([&] { return Rows() == 1; }, 600));
}

TEST_F(LogViewerTest, OneMoreRecordAfter999ShiftsEveryRowUp) {
  for (int i = 0; i < 999; ++i) Write(true, "r" + std::to_string(i) + "@example.com");
  Open();
  viewer->TimerTimer();
  ASSERT_EQ(Rows(), 999);
  EXPECT_EQ(Cell(0, 0), "r0@example.com");
  EXPECT_EQ(SelectedRow(), 998);

  Write(false, "new@example.com", "Connection failed");
  viewer->TimerTimer();
  ASSERT_EQ(Rows(), 999);
  EXPECT_EQ(Cell(0, 0), "r1@example.com");
  EXPECT_EQ(Cell(997, 0), "r998@example.com");
  EXPECT_EQ(Cell(998, 0), "new@example.com");
  EXPECT_EQ(SelectedRow(), 998);
  // The newest row is scrolled into view (Qt lays out the scroll bar itself).
  RunEventsFor(50);
  const QRect last = view->visualRect(view->model()->index(998, 0));
  EXPECT_TRUE(view->viewport()->rect().contains(last)) << last.y();
  EXPECT_GT(view->verticalScrollBar()->maximum(), 0);
}

TEST_F(LogViewerTest, AFailedRecordShowsItsIconFailedAndItsStatus) {
  Write(true, "ann@example.com");
  Write(false, "bob@example.net", "550 No such user here");
  Open();
  viewer->TimerTimer();
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(1, 3), "Failed");
  EXPECT_EQ(ImageOf(view->model()->index(1, 0).data(Qt::DecorationRole)),
            MakeAppIcon(AppIcon::Failed).pixmap(16, 16).toImage());
  EXPECT_EQ(ImageOf(view->model()->index(0, 0).data(Qt::DecorationRole)),
            MakeAppIcon(AppIcon::Sent).pixmap(16, 16).toImage());
  EXPECT_EQ(result->text(), " 550 No such user here");
  view->selectRow(0);
  EXPECT_EQ(result->text(), " Sent successfully");
}

TEST_F(LogViewerTest, ClearAsksAndEmptiesOnlyOnOk) {
  Write(true, "ann@example.com");
  Open();
  viewer->TimerTimer();
  auto* clear = viewer->findChild<QPushButton*>(QStringLiteral("ClearButton"));
  ASSERT_NE(clear, nullptr);
  EXPECT_EQ(clear->text(), "C&lear");

  std::vector<QString> asked;
  bool answer = false;
  UserMessages::ScopedResponder responder([&](UserMessages::Kind kind, const QString& text) {
    EXPECT_EQ(kind, UserMessages::Kind::Confirm);
    asked.push_back(text);
    return answer;
  });
  clear->click();
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(log.Lines().size(), 1u);
  answer = true;
  clear->click();
  EXPECT_EQ(asked, (std::vector<QString>{"Clear the log file?", "Clear the log file?"}));
  EXPECT_EQ(Rows(), 0);
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_TRUE(log.Dirty());
  Write(false, "bob@example.net");
  ASSERT_TRUE(WaitFor([&] { return Rows() == 1; }, 2500));
  EXPECT_EQ(Cell(0, 0), "bob@example.net");
}

TEST_F(LogViewerTest, OneViewerAtATimeWithHelpAndEscape) {
  Open();
  TLogViewer* first = viewer;
  EXPECT_EQ(ShowLogViewer(log, host), first);
  viewer->findChild<QPushButton*>(QStringLiteral("HelpButton"))->click();
  EXPECT_EQ(host.helpOpened, std::vector<int>{1000});

  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(view, &escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(viewer.isNull());
  Open();
  EXPECT_NE(viewer.data(), nullptr);
}

TEST_F(LogViewerTest, LayoutKeepsTheDesignSizesWhereTheyFit) {
  Open();
  EXPECT_EQ(viewer->size(), QSize(734, 546));
  EXPECT_EQ(viewer->minimumSize(), QSize(610, 450));
  const QHeaderView* header = view->horizontalHeader();
  EXPECT_EQ(header->sectionSize(0), 200);
  EXPECT_GE(header->sectionSize(2), 135);
  EXPECT_GE(header->sectionSize(3), 42);
  EXPECT_GE(header->sectionSize(3), view->fontMetrics().horizontalAdvance("Failed"));
  EXPECT_FALSE(header->sectionsClickable());
  auto* close = viewer->findChild<QPushButton*>(QStringLiteral("CloseButton"));
  EXPECT_TRUE(close->isDefault());
  EXPECT_EQ(close->text(), "&Close");
}

}  // namespace
