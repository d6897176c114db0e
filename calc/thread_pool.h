// A small pool of threads started once for a whole run, which take the tasks
// given to them in the order they were given, and the processor count that
// decides how many a run starts by default.
#ifndef LONGSQRT_CALC_THREAD_POOL_H
#define LONGSQRT_CALC_THREAD_POOL_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
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

// A fixed set of threads that run tasks first come, first served. A task must
// not throw: it carries its own failures to whoever waits for its result.
class ThreadPool {
 public:
  using Task = std::function<void()>;

  // Starts up to count threads: fewer when the system refuses more (size()
  // tells). On POSIX systems the threads block every signal, so that the
  // handlers of the progress line and of the wait for a key run on the thread
  // that made the pool, as they do in a run without threads.
  explicit ThreadPool(int count);
  // Drops the tasks no thread has taken, waits for the running ones to end and
  // joins every thread.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Returns the number of threads running.
  int size() const { return static_cast<int>(threads_.size()); }
  // Queues task behind every task submitted before it. Throws std::bad_alloc,
  // with nothing queued, when memory runs out.
  void submit(Task task);

 private:
  // Runs tasks until the pool is destroyed.
  void work();

  std::mutex mutex_;
  std::condition_variable wake_;  // a task was queued, or the pool is ending
  std::deque<Task> queue_;
  bool ending_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace calc

#endif  // LONGSQRT_CALC_THREAD_POOL_H
