// Ways to make writing files fail on purpose, for tests of what the program
// does when its disk is full or its folder refuses it.
#pragma once

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

namespace testing_support {

// While it lives, no file of this process may grow past `bytes`: a longer
// write fails with EFBIG as on a full disk (SIGXFSZ is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = SIG_DFL;
};

// The user id that RunUnprivileged takes on when the tests run as root.
inline constexpr uid_t kUnprivilegedUid = 65534;

// Runs `body` in a child process that cannot override file permissions: as
// root the child becomes kUnprivilegedUid first. The child's exit code is
// 0 when body returned true; -1 when the child could not run.
inline int RunUnprivileged(const std::function<bool()>& body) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedUid) != 0 || ::setuid(kUnprivilegedUid) != 0))
      ::_exit(3);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace testing_support
