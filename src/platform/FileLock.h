// An exclusive lock on a file (flock) held for as long as the object lives.
// The system drops it when the process ends in any way, so a crash never
// leaves a stale lock behind.
#pragma once

#include <optional>
#include <string>

#include "platform/Fd.h"

namespace os {

class FileLock {
 public:
  enum class Outcome { kTaken, kHeldElsewhere, kFailed };

  // Opens (creating it with mode 0600, never through a link) and locks the
  // file without waiting. kHeldElsewhere when another process holds it.
  Outcome TryLock(const std::string& path);
  bool Held() const { return static_cast<bool>(fd_); }
  void Release() { fd_.reset(); }

 private:
  Fd fd_;
};

}  // namespace os
