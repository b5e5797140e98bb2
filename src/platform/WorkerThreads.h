// Runs a batch of work items on a few threads at once and returns when all
// are done. The calling thread takes part, so a batch of one item starts no
// thread at all.
#pragma once

#include <cstddef>
#include <functional>

namespace os {

// Calls work(item, worker) once for every item in [0, count), on at most
// maxWorkers threads: worker 0 is the calling thread, workers 1 and up are
// threads started for the batch with (at least) stackSize bytes of stack.
// Each worker takes the next item nobody has taken until none is left, so
// one worker never runs two items at once. work must not throw. When the
// system refuses a thread, fewer workers share the items.
void RunOnWorkers(std::size_t count, std::size_t maxWorkers, std::size_t stackSize,
                  const std::function<void(std::size_t item, std::size_t worker)>& work);

}  // namespace os
