// The candidates of a run's places judged on several threads: the digit
// loop's own thread, which writes the log, and a pool beside it.
#ifndef LONGSQRT_CALC_CANDIDATE_JUDGES_H
#define LONGSQRT_CALC_CANDIDATE_JUDGES_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "calc/judges.h"
#include "calc/thread_pool.h"

namespace calc {

// Judges a run's candidates on several threads. Each thread judges one
// candidate from start to end and builds every value it needs from the
// texts, exactly as the judges on one thread do; no value passes between
// threads or from one candidate to the next. The candidates wait in one
// queue, lowest place and lowest digit first, and the next place's are queued
// as soon as a place begins, so that threads with nothing left in it build
// their noScaled values meanwhile. A thread whose candidate may decide its
// place (decide() says so and no lower candidate overshot) also forms the
// square of the new root. The loop's thread takes the judgements in
// candidate order, and while it waits for one it judges the candidates at the
// head of the queue itself; what it is given is what the judges on one thread
// give, and a candidate's failure (std::bad_alloc) reaches it at that
// candidate, as if it had judged it.
class CandidateJudges final : public Judges {
 public:
  // Starts up to helpers threads beside the caller's (helpers() tells how
  // many started); debug: the judgements carry the text of their values.
  CandidateJudges(int helpers, bool debug);
  // Abandons every candidate and waits for the pool's threads to end.
  ~CandidateJudges() override;
  CandidateJudges(const CandidateJudges&) = delete;
  CandidateJudges& operator=(const CandidateJudges&) = delete;

  // Returns the number of threads that judge beside the caller's.
  int helpers() const { return pool_.size(); }

  void beginPlace(const std::string& noScaled, const std::string& rootStr, bool another) override;
  const Judgement& judge(int32_t n, const std::string& rootStrNew) override;
  const Acceptance& accept(int32_t n, const Decision& d, const std::string& newRoot) override;

 private:
  struct Place;
  struct QueuedCandidate {
    std::shared_ptr<Place> place;
    int32_t n;
  };

  std::shared_ptr<Place> open(std::string noScaled);
  void setRoot(Place& place, const std::string& rootStr);
  bool wanted(const Place& place, int32_t n) const;
  void serve();
  void judgeHead(std::unique_lock<std::mutex>& lock);
  template <typename Done>
  void helpUntil(std::unique_lock<std::mutex>& lock, Done done);
  void judgeOnThread(Place& place, int32_t n);

  const bool debug_;
  std::shared_ptr<Place> current_;  // the place the loop is in
  std::shared_ptr<Place> next_;     // the one after it, queued ahead
  std::mutex mutex_;
  std::condition_variable work_;    // the pool's: a candidate queued, a root known, or the judges stop
  std::condition_variable posted_;  // the loop's: a candidate judged or accepted, or failed
  std::deque<QueuedCandidate> queue_;
  bool stopping_ = false;
  ThreadPool pool_;  // last: its threads start once the rest is made, and end before it goes
};

}  // namespace calc

#endif  // LONGSQRT_CALC_CANDIDATE_JUDGES_H
