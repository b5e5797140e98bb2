#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace os {

FileLock::Outcome FileLock::TryLock(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd) return Outcome::kFailed;
  for (;;) {
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) break;
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? Outcome::kHeldElsewhere : Outcome::kFailed;
  }
  fd_ = std::move(fd);
  return Outcome::kTaken;
}

}  // namespace os
