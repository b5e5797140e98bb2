// The listener's two lists of live connection threads, each under its own
// lock: Threads (whose sockets deactivation aborts) and ActiveThreads (which
// the controller walks at exit). Shared by the listener and its connection
// threads, so a thread that outlives the listener still finds it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

class SmtpConnectionThread;

class ConnectionRegistry {
 public:
  // Lists a new thread: first in ActiveThreads, then in Threads.
  void Add(SmtpConnectionThread* thread);
  void RemoveFromThreads(SmtpConnectionThread* thread);
  void RemoveFromActiveThreads(SmtpConnectionThread* thread);

  // Aborts the connection socket of every thread in Threads; the owners
  // see their blocked reads and writes fail and close the sockets themselves.
  void AbortConnections();
  // Waits until Threads is empty, in slices, for at most limit.
  bool WaitUntilNoThreads(std::chrono::milliseconds limit, std::chrono::milliseconds slice);
  int ThreadCount() const;
  // Calls fn for each thread of ActiveThreads while holding that list's lock.
  void ForEachActiveThread(const std::function<void(SmtpConnectionThread&)>& fn);

 private:
  mutable std::mutex threadsLock_;
  std::condition_variable threadsGone_;
  std::vector<SmtpConnectionThread*> threads_;
  std::mutex activeLock_;
  std::vector<SmtpConnectionThread*> activeThreads_;
};
