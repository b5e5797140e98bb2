// How long the log viewer takes to follow the log: the first refresh of a
// full log (999 records) and the refresh after one more record, which shifts
// every row up by one, each with and without painting the table.
// Runs on Qt's offscreen platform; bounded to a fixed number of rounds.
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "log/OperationLog.h"
#include "ui/FakeWindowHost.h"
#include "ui/LogViewer.h"

namespace {

constexpr int kRecords = 999;
constexpr int kRounds = 200;

struct Figures {
  double median = 0;
  double worst = 0;
};

Figures Summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return Figures{ms[ms.size() / 2], ms.back()};
}

void Record(TOperationLog& log, int i) {
  log.WriteLogRecord(i % 3 != 0, true, "recipient" + std::to_string(i) + "@example.com",
                     "Subject of message number " + std::to_string(i),
                     i % 3 != 0 ? "Sent successfully" : "550 5.1.1 No such user here");
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  TOperationLog log;
  testing_support::FakeWindowHost host;
  for (int i = 0; i < kRecords; ++i) Record(log, i);

  std::vector<double> first;
  std::vector<double> shiftOnly;
  std::vector<double> shiftPainted;
  QElapsedTimer clock;
  for (int round = 0; round < 20; ++round) {
    auto* viewer = new TLogViewer(log, host);
    viewer->show();
    log.WriteLogRecord(true, true, "x@example.com", "x", "Sent successfully");
    clock.start();
    viewer->TimerTimer();
    first.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    delete viewer;
  }

  auto* viewer = new TLogViewer(log, host);
  viewer->show();
  viewer->TimerTimer();
  auto* view = viewer->findChild<QTableView*>(QStringLiteral("View"));
  for (int round = 0; round < kRounds; ++round) {
    Record(log, kRecords + round);
    clock.start();
    viewer->TimerTimer();
    const double refreshed = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    view->grab();
    shiftPainted.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    shiftOnly.push_back(refreshed);
  }
  delete viewer;

  const Figures a = Summarise(first);
  const Figures b = Summarise(shiftOnly);
  const Figures c = Summarise(shiftPainted);
  std::printf("log viewer, %d records (frame budget 16.7 ms)\n", kRecords);
  std::printf("  first refresh (all rows new): median %.2f ms, worst %.2f ms\n", a.median, a.worst);
  std::printf("  one more record, rows shift:  median %.2f ms, worst %.2f ms\n", b.median, b.worst);
  std::printf("  the same with the table painted: median %.2f ms, worst %.2f ms\n", c.median, c.worst);
  return 0;
}
