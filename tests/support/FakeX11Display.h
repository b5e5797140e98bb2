// Stand-ins for an X11 display on this machine, for tests of what the program
// does when its display is dead: a display number nobody serves, and one
// whose socket accepts connections but never answers.
#pragma once

#include <string>

#include "platform/Fd.h"

namespace testing_support {

// A display number with no X11 socket file and no abstract socket.
int UnusedDisplayNumber();

// Listens on the socket file of display `number` under /tmp/.X11-unix and
// never accepts, so a client's connection waits for ever for the set-up
// answer. Removes the file when it goes.
class SilentX11Display {
 public:
  SilentX11Display();
  ~SilentX11Display();
  SilentX11Display(const SilentX11Display&) = delete;
  SilentX11Display& operator=(const SilentX11Display&) = delete;

  // ":N", as DISPLAY names it.
  std::string Name() const { return ":" + std::to_string(number_); }

 private:
  int number_ = 0;
  std::string path_;
  os::Fd listening_;
};

}  // namespace testing_support
