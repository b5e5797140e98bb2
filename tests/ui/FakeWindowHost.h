// A controller stand-in for window tests: settings held in memory with the
// controller's store rules, counters it can set, and a record of every call.
#pragma once

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/WindowHost.h"

namespace testing_support {

class FakeWindowHost : public ui::WindowHost {
 public:
  FakeWindowHost() {
    for (int i = 0; i <= static_cast<int>(ui::HostAction::ExitAction); ++i) {
      static const char* const captions[] = {"Open",        "View Log",       "Configure",
                                             "Home Page",   "Other Products", "Contact Us",
                                             "Online Help", "About Program",  "Exit"};
      actions_.push_back(std::make_unique<QAction>(QString::fromLatin1(captions[i])));
      QObject::connect(actions_.back().get(), &QAction::triggered, [this, i] { triggered.push_back(i); });
    }
  }

  std::string ProductName() const override { return "Postwick"; }
  std::string UserDnsServer() const override { return userDns; }
  std::string ListenPort() const override { return listenPort; }
  bool LocalOnly() const override { return localOnly; }
  void SaveDNS(const std::string& server) override {
    savedDns.push_back(server);
    userDns = server;
  }
  void SavePort(const std::string& port, bool local) override {
    savedPorts.push_back({port, local});
    listenPort = port.empty() ? "25" : port;
    localOnly = local;
  }
  void UpdateAccountPorts() override { ++accountUpdates; }
  int64_t SentCount() const override { return sent; }
  int64_t FailedCount() const override { return failed; }
  void ZeroSentCount() override { sent = 0; }
  void ZeroFailedCount() override { failed = 0; }
  int ThreadLoad() const override { return threadLoad; }
  QAction* Action(ui::HostAction which) const override { return actions_[static_cast<int>(which)].get(); }
  void OpenHelp(int context) override { helpOpened.push_back(context); }

  std::string userDns;
  std::string listenPort = "25";
  bool localOnly = false;
  int64_t sent = 0, failed = 0;
  int threadLoad = 0;
  std::vector<std::string> savedDns;
  std::vector<std::pair<std::string, bool>> savedPorts;
  int accountUpdates = 0;
  std::vector<int> helpOpened;
  std::vector<int> triggered;  // HostAction values, in order

 private:
  std::vector<std::unique_ptr<QAction>> actions_;
};

// Runs the event loop until the condition holds or limitMs pass.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

inline void ProcessEventsFor(int ms) {
  ProcessEventsUntil([] { return false; }, ms);
}

}  // namespace testing_support
