#include "platform/DetachedThread.h"

#include <pthread.h>

#include <climits>

namespace os {
namespace {

// Instrumented code of the sanitizers needs several times the stack.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kStackFactor = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr std::size_t kStackFactor = 4;
#else
constexpr std::size_t kStackFactor = 1;
#endif
#else
constexpr std::size_t kStackFactor = 1;
#endif

void* RunTask(void* argument) {
  std::unique_ptr<DetachedTask> task(static_cast<DetachedTask*>(argument));
  try {
    task->Run();
  } catch (...) {
  }
  return nullptr;
}

}  // namespace

bool StartDetachedThread(std::size_t stackSize, std::unique_ptr<DetachedTask>& task) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  std::size_t size = stackSize * kStackFactor;
  if (size < static_cast<std::size_t>(PTHREAD_STACK_MIN)) size = PTHREAD_STACK_MIN;
  pthread_attr_setstacksize(&attributes, size);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int rc = pthread_create(&thread, &attributes, &RunTask, task.get());
  pthread_attr_destroy(&attributes);
  if (rc != 0) return false;
  (void)task.release();  // the thread owns it now
  return true;
}

}  // namespace os
