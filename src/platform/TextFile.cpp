// Reading and atomically replacing small files over POSIX calls.
#include "platform/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/Fd.h"

namespace os {

namespace {

// More links than this in a row are a loop.
constexpr int kMaxLinkHops = 40;

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes the rename itself durable; a failure here does not undo the write.
void SyncFolder(const std::string& path) {
  Fd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder) ::fsync(folder.get());
}

// Writes the content to a fresh descriptor, flushes it to disk and closes it;
// close is checked too because some file systems report write errors there.
bool WriteAndClose(int fd, const std::string& target, const std::string& content) {
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) ::fchmod(fd, existing.st_mode & 07777);
  const bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  return written && closed;
}

// The folder refuses new files, but the file itself may be writable: the
// whole new content is in memory, so write it over the old from the start
// and cut what is left of the old.
bool RewriteInPlace(const std::string& target, const std::string& content) {
  Fd fd(::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) return false;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return WriteAll(fd.get(), content) && ::ftruncate(fd.get(), static_cast<off_t>(content.size())) == 0 &&
         ::fsync(fd.get()) == 0;
}

// Opens a regular file for reading; an invalid descriptor for anything else
// (a FIFO would block, a device would never end).
Fd OpenRegularFile(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return Fd();
  return fd;
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines.push_back(text.substr(start, i - start));
    i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool ReadFileStart(const std::string& path, std::size_t limit, std::string& content, bool& truncated) {
  content.clear();
  truncated = false;
  Fd fd = OpenRegularFile(path);
  if (!fd) return false;
  char buffer[65536];
  for (;;) {
    // One byte past the limit tells whether there is more.
    const std::size_t want = std::min(sizeof buffer, limit + 1 - content.size());
    const ssize_t n = ::read(fd.get(), buffer, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    content.append(buffer, static_cast<std::size_t>(n));
    if (content.size() > limit) {
      content.resize(limit);
      truncated = true;
      return true;
    }
  }
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  Fd fd = OpenRegularFile(path);
  if (!fd) return false;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
    const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return current;
    target.resize(static_cast<std::size_t>(length));
    current = target.front() == '/' ? target : FolderOf(current) + "/" + target;
  }
  return current;
}

namespace {

// A new empty file with an unpredictable name beside the target: mkstemp
// creates it with O_CREAT | O_EXCL, so nothing another user placed in the
// folder (a link to a file of ours) is ever opened.
int CreateTemporaryBeside(const std::string& target, std::string& temporary) {
  temporary = FolderOf(target) + "/." + NameOf(target) + ".XXXXXX";
  return ::mkostemp(temporary.data(), O_CLOEXEC);
}

}  // namespace

bool CanReplace(const std::string& path) {
  const std::string target = ResolveLinks(path);
  std::string temporary;
  const int fd = CreateTemporaryBeside(target, temporary);
  if (fd < 0) return ::access(target.c_str(), W_OK) == 0;
  ::close(fd);
  ::unlink(temporary.c_str());
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
  const std::string target = ResolveLinks(path);
  std::string temporary;
  const int fd = CreateTemporaryBeside(target, temporary);
  if (fd < 0) {
    const int error = errno;
    return (error == EACCES || error == EPERM || error == EROFS) && RewriteInPlace(target, content);
  }
  if (!WriteAndClose(fd, target, content) || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(target);
  return true;
}

}  // namespace os
