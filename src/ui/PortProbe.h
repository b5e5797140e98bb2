// The port test's connection attempt: one TCP connection to a host's port
// on a thread of its own, so the dialog keeps painting while it waits, and
// an abort that ends a pending attempt at once. Nothing is sent or read:
// reaching the port is the whole test.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ui {

// Where the port test connects to.
struct ProbeTarget {
  std::string host;
  uint16_t port = 25;
};

class PortProbe {
 public:
  enum class Outcome { Connected, Failed };
  // Runs on the probe's thread, at most once, never after Cancel returned.
  using Done = std::function<void(Outcome)>;

  PortProbe() = default;
  ~PortProbe();  // cancels a pending attempt
  PortProbe(const PortProbe&) = delete;
  PortProbe& operator=(const PortProbe&) = delete;

  // Starts the attempt: resolve the host, connect within timeoutMs, close.
  void Start(const ProbeTarget& target, int timeoutMs, Done done);
  // Closes the socket of a pending attempt; `done` is not called after this.
  void Cancel();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace ui
