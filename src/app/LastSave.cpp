#include "app/LastSave.h"

#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>

#include "log/OperationLog.h"

namespace {

std::mutex armedLock;
TOperationLog* armedLog = nullptr;
std::string armedPath;
std::terminate_handler previousTerminate = nullptr;

void SaveAtExit() { LastSave::Now(); }

[[noreturn]] void SaveAndTerminate() {
  LastSave::Now();
  if (previousTerminate != nullptr) previousTerminate();
  std::abort();
}

}  // namespace

LastSave::LastSave(TOperationLog& log, std::string path) {
  static std::once_flag registered;
  std::call_once(registered, [] {
    std::atexit(SaveAtExit);
    previousTerminate = std::set_terminate(SaveAndTerminate);
  });
  std::lock_guard guard(armedLock);
  armedLog = &log;
  armedPath = std::move(path);
}

LastSave::~LastSave() {
  std::lock_guard guard(armedLock);
  armedLog = nullptr;
}

void LastSave::Now() {
  // try_lock: a fatal error raised while saving must not wait for itself.
  std::unique_lock guard(armedLock, std::try_to_lock);
  if (!guard.owns_lock() || armedLog == nullptr) return;
  try {
    armedLog->SaveIfDirty(armedPath);
  } catch (...) {
  }
}
