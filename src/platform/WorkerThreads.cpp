#include "platform/WorkerThreads.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/ThreadStack.h"

namespace os {
namespace {

// What every worker of one batch shares.
struct Batch {
  std::size_t count;
  const std::function<void(std::size_t, std::size_t)>& work;
  std::atomic<std::size_t> next{0};

  void Serve(std::size_t worker) {
    for (std::size_t item; (item = next.fetch_add(1)) < count;) work(item, worker);
  }
};

struct WorkerStart {
  Batch* batch;
  std::size_t worker;
};

void* RunWorker(void* argument) {
  const auto* start = static_cast<const WorkerStart*>(argument);
  start->batch->Serve(start->worker);
  return nullptr;
}

}  // namespace

void RunOnWorkers(std::size_t count, std::size_t maxWorkers, std::size_t stackSize,
                  const std::function<void(std::size_t item, std::size_t worker)>& work) {
  Batch batch{count, work};
  const std::size_t workers = std::min(count, std::max<std::size_t>(maxWorkers, 1));
  std::vector<WorkerStart> starts;
  starts.reserve(workers);  // the threads hold pointers into it
  std::vector<pthread_t> threads;
  pthread_attr_t attributes;
  const bool attributesMade = workers > 1 && pthread_attr_init(&attributes) == 0;
  if (attributesMade) {
    SetStackSize(attributes, stackSize);
    for (std::size_t worker = 1; worker < workers; ++worker) {
      starts.push_back({&batch, worker});
      pthread_t thread;
      if (pthread_create(&thread, &attributes, &RunWorker, &starts.back()) != 0) break;
      threads.push_back(thread);
    }
    pthread_attr_destroy(&attributes);
  }
  batch.Serve(0);
  for (pthread_t thread : threads) pthread_join(thread, nullptr);
}

}  // namespace os
