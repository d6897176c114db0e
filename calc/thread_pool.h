// The threads a run starts once and keeps to its end, each running the same
// function, and the processor count that decides how many a run starts by
// default.
#ifndef LONGSQRT_CALC_THREAD_POOL_H
#define LONGSQRT_CALC_THREAD_POOL_H

#include <functional>
#include <thread>
#include <vector>

namespace calc {

// The most threads a run may be given (--threads).
inline constexpr int kMostThreads = 64;
// The most threads a run starts when it is not told: a place has ten
// candidates, so more would have nothing to judge.
inline constexpr int kMostDefaultThreads = 10;

// Returns the processors this process may run on (its affinity mask on Linux
// and Windows), at least 1.
int usableProcessors();
// Returns the thread count of a run not told one: usableProcessors(), at most
// kMostDefaultThreads.
int defaultThreads();

// A fixed set of threads, started together, each running the same function
// until it returns. The function must not throw, and returns when its owner
// tells it to (a flag and a condition variable of the owner's).
class ThreadPool {
 public:
  // Starts up to count threads running work: fewer when the system refuses
  // more (size() tells). On POSIX systems the threads block every signal, so
  // that the handlers of the progress line and of the wait for a key run on
  // the thread that made the pool, as in a run without threads.
  ThreadPool(int count, const std::function<void()>& work);
  // Waits for every thread's work to return. Precondition: it has been told to.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Returns the number of threads running.
  int size() const { return static_cast<int>(threads_.size()); }

 private:
  std::vector<std::thread> threads_;
};

}  // namespace calc

#endif  // LONGSQRT_CALC_THREAD_POOL_H
