// Starts work on an OS thread of a chosen stack size that nobody joins: the
// thread frees its work when it ends. Used for one thread per connection,
// where a small stack keeps an idle connection cheap.
#pragma once

#include <cstddef>
#include <memory>

namespace os {

// Work for a detached thread; it may own what it works on.
class DetachedTask {
 public:
  virtual ~DetachedTask() = default;
  virtual void Run() = 0;
};

// Runs task on a new detached thread with (at least) stackSize bytes of
// stack; the thread destroys task when Run returns, and swallows what Run
// throws. Returns false, leaving task with the caller and not run, when the
// system cannot start a thread.
bool StartDetachedThread(std::size_t stackSize, std::unique_ptr<DetachedTask>& task);

}  // namespace os
