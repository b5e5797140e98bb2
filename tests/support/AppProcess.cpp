#include "support/AppProcess.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/Fd.h"
#include "platform/NetAddress.h"

extern char** environ;

namespace testing_support {

uint16_t FreeTcpPort() {
  os::Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = os::MakeAddress("0.0.0.0", 0);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("no free TCP port");
  return os::LocalEndpoint(fd.get()).port;
}

void WriteHeadlessSettings(const std::string& dataDir, uint16_t port) {
  std::ofstream settings(dataDir + "/postwick.opt", std::ios::binary | std::ios::trunc);
  settings << "USERPORT=1\r\nPORT=" << port << "\r\nFIREWALL=1\r\nUSERDNS=1\r\nDNS=127.0.0.1:9\r\n";
}

std::optional<std::string> WaitForGreeting(uint16_t port, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  const sockaddr_in address = os::MakeAddress("127.0.0.1", port);
  while (Clock::now() < deadline) {
    os::Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(500));
      continue;
    }
    std::string line;
    char c = 0;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd entry{fd.get(), POLLIN, 0};
      if (left <= 0 || ::poll(&entry, 1, static_cast<int>(left)) <= 0 || ::read(fd.get(), &c, 1) != 1)
        return std::nullopt;
      if (c == '\n') break;
      line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  return std::nullopt;
}

AppProcess::AppProcess(const std::string& executable, const std::vector<std::string>& args,
                       const std::string& errorFile, const std::string& outputFile) {
  std::vector<std::string> words{executable};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!errorFile.empty())
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  if (!outputFile.empty())
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int rc = posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("could not start " + executable);
}

AppProcess::~AppProcess() {
  if (Running()) {
    ::kill(pid_, SIGKILL);
    Reap(true);
  }
}

bool AppProcess::Running() { return !Reap(false); }

bool AppProcess::Reap(bool wait) {
  if (ended_) return true;
  if (::waitpid(pid_, &status_, wait ? 0 : WNOHANG) == pid_) ended_ = true;
  return ended_;
}

double AppProcess::CpuSeconds() const {
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The command name in parentheses may hold blanks; the fields follow it.
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int index = 3; index <= 15 && fields >> field; ++index) {
    if (index == 14) utime = std::stoull(field);
    if (index == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<int> AppProcess::WaitForExit(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!Reap(false)) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

bool AppProcess::Stop(int signal, std::chrono::milliseconds limit) {
  if (Reap(false)) return true;
  ::kill(pid_, signal);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!Reap(false)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace testing_support
