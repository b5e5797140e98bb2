#include "platform/DetachedThread.h"

#include <pthread.h>

#include "platform/ThreadStack.h"

namespace os {
namespace {

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
  SetStackSize(attributes, stackSize);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int rc = pthread_create(&thread, &attributes, &RunTask, task.get());
  pthread_attr_destroy(&attributes);
  if (rc != 0) return false;
  (void)task.release();  // the thread owns it now
  return true;
}

}  // namespace os
