#include "app/InstanceLink.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "platform/UnixSocket.h"

namespace {

constexpr int kBacklog = 8;
constexpr auto kRetryPause = std::chrono::milliseconds(20);
constexpr std::size_t kMaxAnswer = 64;

// A short stable name for a channel key (FNV-1a, 64 bits).
std::string KeyHash(const std::string& key) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : key) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads until a line end; false on an end, an error or the deadline.
bool ReadAnswer(int fd, std::chrono::steady_clock::time_point deadline) {
  std::string answer;
  while (answer.size() < kMaxAnswer) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !os::WaitReadable(fd, left)) return false;
    char c = 0;
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (c == '\n') return true;
    answer += c;
  }
  return false;
}

}  // namespace

std::string EncodeInstanceMessage(const InstanceMessage& message) {
  return std::string(message.name) + ' ' + std::to_string(message.wParam) + ' ' +
         std::to_string(message.lParam);
}

InstanceLink::InstanceLink(const std::string& folder, const std::string& channelKey) {
  const std::string base = folder + "/postwick-" + KeyHash(channelKey);
  socketPath_ = base + ".sock";
  lockPath_ = base + ".lock";
}

InstanceLink::Role InstanceLink::Claim() {
  switch (lock_.TryLock(lockPath_)) {
    case os::FileLock::Outcome::kTaken:
      return Role::kFirst;
    case os::FileLock::Outcome::kHeldElsewhere:
      return Role::kSecond;
    case os::FileLock::Outcome::kFailed:
      break;
  }
  return Role::kFailed;
}

bool InstanceLink::Send(const InstanceMessage& message, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    os::Fd socket = os::ConnectUnixSocket(socketPath_, std::max(left, std::chrono::milliseconds(0)));
    if (socket) {
      return WriteAll(socket.get(), EncodeInstanceMessage(message) + "\n") &&
             ReadAnswer(socket.get(), deadline);
    }
    // Not listening yet: the running instance may be starting.
    if (std::chrono::steady_clock::now() + kRetryPause >= deadline) return false;
    std::this_thread::sleep_for(kRetryPause);
  }
}

os::Fd InstanceLink::Listen() {
  if (!lock_.Held()) {
    errno = EPERM;
    return os::Fd();
  }
  // Only the lock holder gets here, so an answering socket is not ours to take.
  if (os::ConnectUnixSocket(socketPath_, std::chrono::milliseconds(200))) {
    errno = EADDRINUSE;
    return os::Fd();
  }
  ::unlink(socketPath_.c_str());
  return os::ListenUnixSocket(socketPath_, kBacklog);
}
