#include "app/ExitSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace {

int signalPipe[2] = {-1, -1};

constexpr int kExitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only async-signal-safe work here: one byte into the pipe.
void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

ExitSignals::ExitSignals(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char buffer[16];
    [[maybe_unused]] ssize_t n = ::read(signalPipe[0], buffer, sizeof buffer);
    emit exitRequested();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kExitSignals); ++i) {
    const int signal = kExitSignals[i];
    sigaction(signal, nullptr, &previous_[i]);
    // A hang-up or an interrupt ignored when the program started stays
    // ignored: that is how nohup and background jobs of a shell keep a
    // program running after its terminal goes. SIGTERM always ends it.
    if (signal != SIGTERM && previous_[i].sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

ExitSignals::~ExitSignals() {
  for (std::size_t i = 0; i < std::size(kExitSignals); ++i)
    sigaction(kExitSignals[i], &previous_[i], nullptr);
}
