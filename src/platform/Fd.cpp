#include "platform/Fd.h"

#include <unistd.h>

namespace os {

void Fd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

}  // namespace os
