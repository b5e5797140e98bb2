#include "intake/ConnectionRegistry.h"

#include <algorithm>

#include "intake/SmtpConnectionThread.h"

namespace {

void Erase(std::vector<SmtpConnectionThread*>& list, SmtpConnectionThread* thread) {
  auto found = std::find(list.begin(), list.end(), thread);
  if (found != list.end()) list.erase(found);
}

}  // namespace

void ConnectionRegistry::Add(SmtpConnectionThread* thread) {
  {
    std::lock_guard lock(activeLock_);
    activeThreads_.push_back(thread);
  }
  std::lock_guard lock(threadsLock_);
  threads_.push_back(thread);
}

void ConnectionRegistry::RemoveFromThreads(SmtpConnectionThread* thread) {
  {
    std::lock_guard lock(threadsLock_);
    Erase(threads_, thread);
  }
  threadsGone_.notify_all();
}

void ConnectionRegistry::RemoveFromActiveThreads(SmtpConnectionThread* thread) {
  std::lock_guard lock(activeLock_);
  Erase(activeThreads_, thread);
}

void ConnectionRegistry::AbortConnections() {
  // A listed thread has not closed its connection yet: it leaves the list
  // before it does, and the list's lock keeps it from doing so meanwhile.
  std::lock_guard lock(threadsLock_);
  for (SmtpConnectionThread* thread : threads_) thread->Connection().Abort();
}

bool ConnectionRegistry::WaitUntilNoThreads(std::chrono::milliseconds limit,
                                            std::chrono::milliseconds slice) {
  std::unique_lock lock(threadsLock_);
  for (auto waited = std::chrono::milliseconds(0); !threads_.empty() && waited < limit; waited += slice) {
    threadsGone_.wait_for(lock, std::min(slice, limit - waited), [this] { return threads_.empty(); });
  }
  return threads_.empty();
}

int ConnectionRegistry::ThreadCount() const {
  std::lock_guard lock(threadsLock_);
  return static_cast<int>(threads_.size());
}

void ConnectionRegistry::ForEachActiveThread(const std::function<void(SmtpConnectionThread&)>& fn) {
  std::lock_guard lock(activeLock_);
  for (SmtpConnectionThread* thread : activeThreads_) fn(*thread);
}
