// Candidates judged on several threads: the queue, the places as the threads
// see them, and one candidate's judgement from start to end.
#include "calc/candidate_judges.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <utility>

#include "calc/candidate_values.h"

namespace calc {

// One candidate of a place, as its thread fills it in. Guarded by the mutex
// until judged (or accepted) is set; from then on that part is read without
// it and never written again.
struct CandidateSlot {
  bool judged = false;
  bool accepted = false;
  std::exception_ptr failure;  // what stopped its thread (memory running out)
  Judgement judgement;
  Acceptance acceptance;
  int32_t digit = 0;  // the digit its acceptance took
};

// A place as the threads that judge its candidates see it.
struct CandidateJudges::Place {
  explicit Place(std::string scaled) : noScaled(std::move(scaled)) {}
  // no * 100^k: made with the place, never changed, so read without a lock.
  const std::string noScaled;
  // The root digits before this place: written once, before rootKnown is set
  // under the mutex, then read without it.
  std::string rootStr;
  bool rootKnown = false;
  int32_t wantedBelow = 10;  // candidates from here up are abandoned
  CandidateSlot slots[10];

  // Abandons the candidates from n up. Called with the mutex held.
  void abandonFrom(int32_t n) { wantedBelow = std::min(wantedBelow, n); }
};

CandidateJudges::CandidateJudges(int helpers, bool debug)
    : debug_(debug), pool_(helpers, [this] { serve(); }) {}

CandidateJudges::~CandidateJudges() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
}

void CandidateJudges::beginPlace(const std::string& noScaled, const std::string& rootStr, bool another) {
  assert((!next_ || next_->noScaled == noScaled) && "the place queued ahead is the one that begins");
  current_ = next_ ? std::move(next_) : open(noScaled);
  // A place that no case decided leaves the root as it was.
  setRoot(*current_, rootStr);
  next_ = another ? open(noScaled + "00") : nullptr;
}

const Judgement& CandidateJudges::judge(int32_t n, const std::string&) {
  CandidateSlot& slot = current_->slots[n];
  std::unique_lock<std::mutex> lock(mutex_);
  helpUntil(lock, [&slot] { return slot.judged || slot.failure; });
  if (!slot.judged) std::rethrow_exception(slot.failure);
  return slot.judgement;
}

const Acceptance& CandidateJudges::accept(int32_t n, const Decision& d, const std::string& newRoot) {
  Place& place = *current_;
  CandidateSlot& slot = place.slots[n];
  {
    // Candidate n decides the place: none above it reaches the log.
    const std::lock_guard<std::mutex> lock(mutex_);
    place.abandonFrom(n + 1);
  }
  // The next place's candidates go on while this one's square is formed.
  if (next_) setRoot(*next_, newRoot);
  std::unique_lock<std::mutex> lock(mutex_);
  helpUntil(lock, [&slot] { return slot.accepted || slot.failure; });
  if (!slot.accepted) std::rethrow_exception(slot.failure);
  assert(slot.digit == d.digit && "the deciding candidate's thread takes the digit the loop takes");
  static_cast<void>(d);
  return slot.acceptance;
}

std::shared_ptr<CandidateJudges::Place> CandidateJudges::open(std::string noScaled) {
  auto place = std::make_shared<Place>(std::move(noScaled));
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (int32_t n = 0; n <= 9; ++n) queue_.push_back({place, n});
  }
  work_.notify_all();
  return place;
}

void CandidateJudges::setRoot(Place& place, const std::string& rootStr) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (place.rootKnown) return;
    place.rootStr = rootStr;
    place.rootKnown = true;
  }
  work_.notify_all();
}

bool CandidateJudges::wanted(const Place& place, int32_t n) const {
  return !stopping_ && n < place.wantedBelow;
}

void CandidateJudges::serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    judgeHead(lock);
  }
}

void CandidateJudges::judgeHead(std::unique_lock<std::mutex>& lock) {
  const QueuedCandidate c = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  judgeOnThread(*c.place, c.n);
  lock.lock();
}

// Waits on the loop's thread until done() holds, judging meanwhile the
// candidate at the head of the queue whenever its place has its root (one
// without would wait for the loop itself). Precondition: lock holds the mutex.
template <typename Done>
void CandidateJudges::helpUntil(std::unique_lock<std::mutex>& lock, Done done) {
  while (!done()) {
    if (!queue_.empty() && queue_.front().place->rootKnown) {
      judgeHead(lock);
    } else {
      posted_.wait(lock);
    }
  }
}

// Judges candidate n of place as the judges on one thread do, then, when it
// may decide the place, accepts the digit it gives. Stops at the next step
// once the candidate is abandoned.
void CandidateJudges::judgeOnThread(Place& place, int32_t n) {
  CandidateSlot& slot = place.slots[n];
  try {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (!wanted(place, n)) return;
    }
    // The noScaled value does not depend on the digit of the place before.
    arbitrary noScaledValue(place.noScaled.c_str());
    {
      std::unique_lock<std::mutex> lock(mutex_);
      work_.wait(lock, [&] { return place.rootKnown || !wanted(place, n); });
      if (!wanted(place, n)) return;
    }
    std::string rootStrNew = place.rootStr;
    rootStrNew += static_cast<char>('0' + n);
    const arbitrary x = squareOf(rootStrNew);
    Judgement j;
    if (debug_) {
      j.noScaledText = decimalText(noScaledValue);
      j.xText = decimalText(x);
    }
    j.diff = signOfDifference(x, noScaledValue);
    const std::optional<Decision> d = decide(n, j.diff);
    bool decides = d.has_value();
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      slot.judgement = std::move(j);
      slot.judged = true;
      // The place ends at its first overshoot, this one or one below: no
      // candidate above can reach the log, and its threads move on.
      if (d && d->how == Case::overshoot) place.abandonFrom(n + 1);
      // Still wanted, so no candidate below overshoots: this one may decide.
      decides = decides && wanted(place, n);
    }
    posted_.notify_one();
    if (!decides) return;

    std::string root = place.rootStr;
    root += static_cast<char>('0' + d->digit);
    const arbitrary square = squareOf(root);
    Acceptance a;
    if (debug_ || d->how == Case::limit) {
      a.noScaledText = decimalText(noScaledValue);
      a.squareText = decimalText(square);
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      slot.acceptance = std::move(a);
      slot.digit = d->digit;
      slot.accepted = true;
    }
    posted_.notify_one();
  } catch (...) {
    // Carried to the loop's thread, which meets it at this candidate, in
    // order, as if it had judged the candidate itself.
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      slot.failure = std::current_exception();
    }
    posted_.notify_one();
  }
}

}  // namespace calc
