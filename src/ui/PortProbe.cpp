#include "ui/PortProbe.h"

#include <mutex>
#include <thread>

#include "platform/NetAddress.h"
#include "platform/TcpStream.h"

namespace ui {

// Shared by the caller and the attempt's thread, which may outlive the
// caller (a host name lookup cannot be interrupted).
struct PortProbe::State {
  std::mutex lock;
  Done done;  // cleared by Cancel
  os::TcpStream stream;
};

PortProbe::~PortProbe() { Cancel(); }

void PortProbe::Start(const ProbeTarget& target, int timeoutMs, Done done) {
  Cancel();
  auto state = std::make_shared<State>();
  state->done = std::move(done);
  state_ = state;
  std::thread([state, target, timeoutMs] {
    Outcome outcome = Outcome::Failed;
    try {
      const auto addresses = os::ResolveHost(target.host);
      if (!addresses.empty()) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr = addresses.front();
        address.sin_port = htons(target.port);
        state->stream.Connect(address, timeoutMs);
        outcome = Outcome::Connected;
      }
    } catch (...) {
      outcome = Outcome::Failed;
    }
    state->stream.Close();
    std::lock_guard lock(state->lock);
    if (state->done) state->done(outcome);
    state->done = nullptr;
  }).detach();
}

void PortProbe::Cancel() {
  if (!state_) return;
  {
    std::lock_guard lock(state_->lock);
    state_->done = nullptr;
  }
  state_->stream.Abort();
  state_.reset();
}

}  // namespace ui
