// The threads that judge candidates beside the log's writer, and the
// processor count.
#include "calc/thread_pool.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "calc/platform/platform.h"

namespace calc {

int usableProcessors() { return std::max(platform::processorsInAffinity(), 1); }

int defaultThreads() { return std::min(usableProcessors(), kMostDefaultThreads); }

ThreadPool::ThreadPool(int count, const std::function<void()>& work) {
  platform::withSignalsBlocked([&] {
    try {
      threads_.reserve(static_cast<std::size_t>(std::max(count, 0)));
      for (int i = 0; i < count; ++i) threads_.emplace_back(work);
    } catch (const std::system_error&) {
      // The system starts no more threads (a limit on processes or address
      // space): the pool works with those it has.
    } catch (const std::bad_alloc&) {
    }
  });
}

ThreadPool::~ThreadPool() {
  for (std::thread& t : threads_) t.join();
}

}  // namespace calc
