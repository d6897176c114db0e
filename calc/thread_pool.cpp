// The threads that judge candidates beside the log's writer, and the
// processor count.
#include "calc/thread_pool.h"

#include <algorithm>
#include <new>
#include <system_error>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#endif

namespace calc {

namespace {

#ifdef _WIN32
int processorsInAffinity() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 0;
  int count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
}

// Windows delivers no POSIX signals to a thread: nothing to block.
class SignalsBlocked {
 public:
  SignalsBlocked() {}
  ~SignalsBlocked() {}
};
#else
int processorsInAffinity() {
#ifdef __linux__
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
  return static_cast<int>(std::thread::hardware_concurrency());
}

// Blocks every signal on the calling thread for its lifetime, so that the
// threads started meanwhile inherit a mask that blocks them all.
class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous_);
  }
  ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;

 private:
  sigset_t previous_;
};
#endif

}  // namespace

int usableProcessors() { return std::max(processorsInAffinity(), 1); }

int defaultThreads() { return std::min(usableProcessors(), kMostDefaultThreads); }

ThreadPool::ThreadPool(int count, const std::function<void()>& work) {
  const SignalsBlocked blocked;
  try {
    threads_.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) threads_.emplace_back(work);
  } catch (const std::system_error&) {
    // The system starts no more threads (a limit on processes or address
    // space): the pool works with those it has.
  } catch (const std::bad_alloc&) {
  }
}

ThreadPool::~ThreadPool() {
  for (std::thread& t : threads_) t.join();
}

}  // namespace calc
