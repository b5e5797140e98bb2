#include "support/FakeX11Display.h"

#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "platform/UnixSocket.h"

namespace testing_support {

namespace {

const std::string kFolder = "/tmp/.X11-unix";

std::string SocketFile(int number) { return kFolder + "/X" + std::to_string(number); }

bool Served(int number) {
  const std::string path = SocketFile(number);
  return ::access(path.c_str(), F_OK) == 0 ||
         static_cast<bool>(
             os::ConnectUnixSocket(std::string(1, '\0') + path, std::chrono::milliseconds(100)));
}

}  // namespace

int UnusedDisplayNumber() {
  // High numbers, spread by process so parallel test programs differ.
  for (int number = 700 + ::getpid() % 200; number < 1700; ++number) {
    if (!Served(number)) return number;
  }
  throw std::runtime_error("no unused X11 display number");
}

SilentX11Display::SilentX11Display() {
  ::mkdir(kFolder.c_str(), 01777);
  for (int attempt = 0; attempt < 20 && !listening_; ++attempt) {
    number_ = UnusedDisplayNumber() + attempt;
    path_ = SocketFile(number_);
    listening_ = os::ListenUnixSocket(path_, 16);
  }
  if (!listening_) throw std::runtime_error("cannot make a silent X11 display");
}

SilentX11Display::~SilentX11Display() { ::unlink(path_.c_str()); }

}  // namespace testing_support
