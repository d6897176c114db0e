// The calculator's run: the dialogue, the integer-part search on arbitrary
// squares and the digit-by-digit loop that writes the run log.
#include "calc/calculator.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <istream>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <ostream>
#include <sstream>

#include "bigint/arbitrary.h"
#include "calc/log_reader.h"
#include "calc/options.h"
#include "calc/thread_pool.h"

namespace calc {

namespace {

// What reading one answer found.
enum class Reply { usable, unusable, ended };

// Reads one answer into value. It is usable only when the formatted read
// succeeds and the number is followed by white space or the end of input, so
// that "12abc" or "1.5" is refused as a whole rather than split across
// answers; input that ends before any character of an answer has ended.
template <typename T>
Reply readAnswer(std::istream& in, T& value) {
  if (!(in >> std::ws) || in.peek() == std::istream::traits_type::eof()) return Reply::ended;
  if (!(in >> value)) return Reply::unusable;
  const auto next = in.peek();
  return next == std::istream::traits_type::eof() || std::isspace(next) ? Reply::usable : Reply::unusable;
}

// One question of the dialogue and what refuses its answer.
struct Question {
  const texts::Text& prompt;
  const texts::Text& unusable;  // the answer cannot be used
  const texts::Text& ended;     // the input ended before the answer
};

const Question kDebugQuestion{texts::kAskDebug, texts::kBadDebug, texts::kEndedBeforeDebug};
const Question kNoQuestion{texts::kAskNo, texts::kBadNo, texts::kEndedBeforeNo};
const Question kLengthQuestion{texts::kAskLength, texts::kBadLength, texts::kEndedBeforeLength};

// Asks q until value holds a usable answer that accept takes. On a terminal an
// unusable answer gets its message, the rest of its line is dropped and the
// same question comes again; elsewhere it ends the dialogue. Returns true when
// value holds the answer, false after writing the message that refuses the run.
template <typename T, typename Accept>
bool ask(Console& console, const Question& q, T& value, Accept accept) {
  const Encodings& e = console.encodings;
  for (;;) {
    console.out << q.prompt.in(e.out) << std::flush;
    const Reply reply = readAnswer(console.in, value);
    if (reply == Reply::ended) {
      // A read that failed (standard input a directory) is not the input's end.
      const int error = console.inputError ? console.inputError() : 0;
      if (error != 0) {
        console.err << texts::kReadFailed.in(e.err) << ": " << std::strerror(error) << std::endl;
      } else {
        console.err << q.ended.in(e.err) << std::endl;
      }
      return false;
    }
    if (reply == Reply::usable && accept(value)) return true;
    console.err << q.unusable.in(e.err) << std::endl;
    if (!console.inIsTerminal) return false;
    console.in.clear();
    console.in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
}

// Returns the square of the number a decimal text holds, built the way the
// loop judges every candidate: two values made from the text, the first
// multiplied by the second.
arbitrary squareOf(const std::string& digits) {
  arbitrary x(digits.c_str());
  arbitrary factor(digits.c_str());
  x *= factor;
  return x;
}

// Returns the text of candidate digit n.
char digitOf(int32_t n) { return static_cast<char>('0' + n); }

// Takes digit as the place's digit: rootStrNew and rootStr become the root so
// far followed by it, resultText gains it.
void takeDigit(RootTexts& texts, std::string& rootStrNew, const std::string& digit) {
  rootStrNew = texts.rootStr + digit;
  texts.rootStr = rootStrNew;
  texts.resultText += digit;
}

// Accepts digit as the place's digit (takeDigit). Returns the square of the
// new root, which the log shows.
arbitrary acceptDigit(RootTexts& texts, std::string& rootStrNew, const std::string& digit) {
  takeDigit(texts, rootStrNew, digit);
  return squareOf(texts.rootStr);
}

// Writes the result record of place k: the result line, the separator and an
// empty line.
void writeResultRecord(std::ostream& log, int32_t no, int64_t k, const std::string& resultText, Encoding e) {
  log << texts::kResultPrefix.in(e) << texts::kResultSqrt << no << texts::kResultComma << k
      << texts::kResultEquals << resultText << std::endl;
  log << texts::kSeparator << std::endl;
  log << std::endl;
}

// Writes the two lines that show the scaled radicand and a square: the values
// themselves, or their decimal text made on another thread.
template <typename Value>
void writeValues(std::ostream& log, const Value& noScaledValue, const Value& x) {
  log << texts::kNoScaledLabel << noScaledValue << std::endl;
  log << texts::kXLabel << x << std::endl;
}

// Writes a message that names the log at path: its first part, the path as
// the user gave it (control bytes as escapes), its second.
void writeNamed(std::ostream& os, const texts::LogText& t, const char* path, Encoding e) {
  os << t.before.in(e) << quoted(path) << t.after.in(e);
}

// Writes the line that says why the log at path failed: what failed, then the
// reason for error, the system's or one of the log's own. A log another run
// holds, or a lack of memory, says so alone.
void reportLogFault(std::ostream& err, const texts::LogText& what, const char* path, int error, Encoding e) {
  if (error == kLogInUse) {
    writeNamed(err, texts::kLogHeld, path, e);
  } else if (error == ENOMEM) {
    err << texts::kOutOfMemory.in(e);
  } else {
    writeNamed(err, what, path, e);
    if (error == kLogDanglingLink) {
      err << ": " << texts::kDanglingLink.in(e);
    } else if (error != 0) {
      err << ": " << std::strerror(error);
    }
  }
  err << std::endl;
}

// The texts a log line may hold beyond ASCII, in both encodings.
const texts::Text* const kLogTexts[] = {&texts::kResultPrefix, &texts::kCase1, &texts::kLimit,
                                        &texts::kCase2};

// Returns every from in s replaced by to.
std::string replaced(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// Returns bytes from a log as a message in encoding e may show them: the
// log's own texts in e whatever the log's encoding, every other byte that is
// not printable UTF-8 as an escape (\x8f).
std::string shown(std::string s, Encoding e) {
  for (const texts::Text* t : kLogTexts) s = replaced(s, t->big5, t->utf8);
  s = quoted(s);
  if (e == Encoding::big5)
    for (const texts::Text* t : kLogTexts) s = replaced(s, t->utf8, t->big5);
  return s;
}

// Returns what a message says of a wrong line: its number, what it holds (its
// first 80 bytes) and what belongs there.
std::string problemText(const LogProblem& p, Encoding e) {
  const auto line = [e](const std::string& bytes) { return '"' + shown(shortened(bytes, 80), e) + '"'; };
  return "line " + std::to_string(p.line) + " holds " + line(p.holds) + ", expected " +
         (p.expectedIsLine ? line(p.expected) : shown(p.expected, e));
}

// Reads the log back for a run that continues it, into reading. Returns false
// after writing the message that refuses the run: the log could not be read,
// or it is not one this run continues.
bool readForResume(LogFile& log, const ResumeExpectation& run, const char* path, std::ostream& err,
                   Encoding e, LogReading& reading) {
  errno = 0;
  const std::unique_ptr<std::streambuf> bytes = log.reader();
  if (!bytes) {
    if (log.error() == 0) return true;  // a device or a pipe: nothing to continue
    reportLogFault(err, texts::kLogReadFailed, path, log.error(), e);
    return false;
  }
  std::istream in(bytes.get());
  reading = readLogForResume(in, run);
  if (reading.readFailed) {
    reportLogFault(err, texts::kLogReadFailed, path, errno, e);
    return false;
  }
  if (reading.problem) {
    writeNamed(err, texts::kLogNotResumable, path, e);
    err << ": " << problemText(*reading.problem, e) << std::endl;
    return false;
  }
  return true;
}

// Ends a run that cannot go on, once its message is written: releases the
// log and waits for a key. A log still open here has not been written: it is
// left as it was.
int giveUp(ProgramState& state, Console& console) {
  if (state.logFile.is_open()) state.logFile.close(/*refused=*/true);
  if (console.waitForKey) console.waitForKey();
  return 1;
}

// --- Candidates judged on several threads ---------------------------------------

// Returns the decimal text of v, as the log shows it.
std::string decimalText(const arbitrary& v) {
  std::ostringstream text;
  text << v;
  return text.str();
}

// What judging one candidate found, with the decimal text of its values when
// the log traces them.
struct Judgement {
  bool overshoots = false;   // its square exceeds the scaled radicand: diff > 0
  bool below = false;        // its square is below the scaled radicand: diff < 0
  std::string noScaledText;  // the noScaled value (debug only)
  std::string xText;         // the candidate's square (debug only)
};

// What the thread of the candidate that decides a place made of the place's
// digit: the digit, and the text of the two values the log shows with it (the
// candidate's noScaled value once more and the square of the new root), made
// only when the log writes them.
struct Acceptance {
  char digit = '0';
  std::string noScaledText;
  std::string squareText;
};

// One candidate of a place, as its thread fills it in. Guarded by the judges'
// mutex until judged (or accepted) is set; from then on that part is read
// without it and never written again.
struct CandidateSlot {
  bool judged = false;
  bool accepted = false;
  std::exception_ptr failure;  // what stopped its thread (memory running out)
  Judgement judgement;
  Acceptance acceptance;
};

// A place as the threads that judge its candidates see it.
struct Place {
  explicit Place(std::string scaled) : noScaled(std::move(scaled)) {}
  // no * 100^k: made with the place, never changed, so read without a lock.
  const std::string noScaled;
  // The root digits before this place: written once, before rootKnown is set
  // under the mutex, then read without it.
  std::string rootStr;
  bool rootKnown = false;
  int32_t wantedBelow = 10;  // candidates from here up are abandoned
  CandidateSlot slots[10];
};

// A candidate waiting for a thread to judge it.
struct QueuedCandidate {
  std::shared_ptr<Place> place;
  int32_t n;
};

// The candidates of a run's places, judged on several threads: the run's own
// thread, which writes the log, and a pool beside it. Each thread judges one
// candidate from start to end and builds every value it needs from the
// texts, exactly as the loop on one thread does; no value passes between
// threads or from one candidate to the next. The candidates wait in one
// queue, lowest place and lowest digit first. The log's writer takes the
// judgements in candidate order, decides each place, and while it waits for
// one it judges the candidates at the head of the queue itself.
class CandidateJudges {
 public:
  // Starts up to helpers threads beside the caller's (helpers() tells how
  // many started); debug: the judgements carry the text of their values for
  // the traces.
  CandidateJudges(int helpers, bool debug) : debug_(debug), pool_(helpers, [this] { serve(); }) {}
  // Abandons every candidate and waits for the pool's threads to end.
  ~CandidateJudges() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    work_.notify_all();
  }
  CandidateJudges(const CandidateJudges&) = delete;
  CandidateJudges& operator=(const CandidateJudges&) = delete;

  // Returns the number of threads that judge beside the caller's.
  int helpers() const { return pool_.size(); }

  // Makes the place whose scaled radicand is noScaled and queues its ten
  // candidates behind every candidate queued before. Until setRoot, the
  // pool's threads that take them build their noScaled values alone: those
  // do not depend on the digit of the place before.
  std::shared_ptr<Place> open(std::string noScaled) {
    auto place = std::make_shared<Place>(std::move(noScaled));
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      for (int32_t n = 0; n <= 9; ++n) queue_.push_back({place, n});
    }
    work_.notify_all();
    return place;
  }

  // Gives place the root digits before it, once: its candidates go on.
  void setRoot(Place& place, const std::string& rootStr) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (place.rootKnown) return;
      place.rootStr = rootStr;
      place.rootKnown = true;
    }
    work_.notify_all();
  }

  // Waits for candidate n of place to be judged and returns the judgement;
  // rethrows what stopped its thread. Precondition: n has not been abandoned.
  const Judgement& judgement(Place& place, int32_t n) {
    CandidateSlot& slot = place.slots[n];
    std::unique_lock<std::mutex> lock(mutex_);
    helpUntil(lock, [&slot] { return slot.judged || slot.failure; });
    if (!slot.judged) std::rethrow_exception(slot.failure);
    return slot.judgement;
  }

  // Abandons the candidates of place above n, which decides it.
  void decide(Place& place, int32_t n) {
    const std::lock_guard<std::mutex> lock(mutex_);
    abandonFrom(place, n + 1);
  }

  // Waits for candidate n's thread to accept the place's digit and returns
  // what it made; rethrows what stopped it. Precondition: n decides the place.
  const Acceptance& acceptance(Place& place, int32_t n) {
    CandidateSlot& slot = place.slots[n];
    std::unique_lock<std::mutex> lock(mutex_);
    helpUntil(lock, [&slot] { return slot.accepted || slot.failure; });
    if (!slot.accepted) std::rethrow_exception(slot.failure);
    return slot.acceptance;
  }

 private:
  // Returns true while candidate n of place may still reach the log. Called
  // with the mutex held.
  bool wanted(const Place& place, int32_t n) const { return !stopping_ && n < place.wantedBelow; }

  // Abandons the candidates of place from n up. Called with the mutex held.
  static void abandonFrom(Place& place, int32_t n) { place.wantedBelow = std::min(place.wantedBelow, n); }

  // Judges the candidates at the head of the queue, on a thread of the pool,
  // until the judges stop.
  void serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      judgeHead(lock);
    }
  }

  // Takes the candidate at the head of the queue and judges it, with the
  // mutex released meanwhile. Precondition: lock holds the mutex, the queue
  // is not empty.
  void judgeHead(std::unique_lock<std::mutex>& lock) {
    const QueuedCandidate c = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    judge(*c.place, c.n);
    lock.lock();
  }

  // Waits on the log's writer until done() holds, judging meanwhile the
  // candidate at the head of the queue whenever its place has its root (one
  // without would wait for the writer itself). Precondition: lock holds the
  // mutex.
  template <typename Done>
  void helpUntil(std::unique_lock<std::mutex>& lock, Done done) {
    while (!done()) {
      if (!queue_.empty() && queue_.front().place->rootKnown) {
        judgeHead(lock);
      } else {
        posted_.wait(lock);
      }
    }
  }

  // Judges candidate n of place, as one step of the loop on one thread does,
  // then, when it may decide the place, accepts the digit it gives. Stops at
  // the next step once the candidate is abandoned.
  void judge(Place& place, int32_t n) {
    CandidateSlot& slot = place.slots[n];
    try {
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!wanted(place, n)) return;
      }
      arbitrary noScaledValue(place.noScaled.c_str());
      {
        std::unique_lock<std::mutex> lock(mutex_);
        work_.wait(lock, [&] { return place.rootKnown || !wanted(place, n); });
        if (!wanted(place, n)) return;
      }
      std::string rootStrNew = place.rootStr;
      rootStrNew += digitOf(n);
      arbitrary x = squareOf(rootStrNew);
      Judgement j;
      if (debug_) {
        j.noScaledText = decimalText(noScaledValue);
        j.xText = decimalText(x);
      }
      arbitrary diff(0);
      diff = x;
      diff -= noScaledValue;
      j.overshoots = diff > 0;
      j.below = diff < 0;
      // The same two cases as the loop on one thread: the first overshoot
      // takes the digit before it, and 9 below the radicand takes 9.
      const bool overshoots = j.overshoots;
      const bool limit = !j.overshoots && j.below && n == 9;
      bool decides = overshoots || limit;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        slot.judgement = std::move(j);
        slot.judged = true;
        // The place ends at its first overshoot, this one or one below: no
        // candidate above can reach the log, and its threads move on.
        if (overshoots) abandonFrom(place, n + 1);
        // Still wanted, no candidate below overshoots: this one may decide.
        decides = decides && wanted(place, n);
      }
      posted_.notify_one();
      if (!decides) return;

      // Every candidate below overshot nowhere, so the digit before this one
      // is the place's (0 when this is candidate 0).
      Acceptance a;
      a.digit = limit ? '9' : digitOf(n == 0 ? 0 : n - 1);
      std::string root = place.rootStr;
      root += a.digit;
      const arbitrary square = squareOf(root);
      if (limit || debug_) {
        a.noScaledText = decimalText(noScaledValue);
        a.squareText = decimalText(square);
      }
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        slot.acceptance = std::move(a);
        slot.accepted = true;
      }
      posted_.notify_one();
    } catch (...) {
      // Carried to the thread that writes the log, which meets it at this
      // candidate, in order, as if it had judged the candidate itself.
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        slot.failure = std::current_exception();
      }
      posted_.notify_one();
    }
  }

  const bool debug_;
  std::mutex mutex_;
  std::condition_variable work_;    // the pool's: a candidate queued, a root known, or the judges stop
  std::condition_variable posted_;  // the writer's: a candidate judged or accepted, or failed
  std::deque<QueuedCandidate> queue_;
  bool stopping_ = false;
  ThreadPool pool_;  // last: its threads start once the rest is made, and end before it goes
};

// The digit loop of digitLoop with the candidates judged by judges: writes
// the same log, line for line, in the same order.
bool digitLoopOnThreads(int32_t no, int32_t length, bool debug, std::ostream& logFile, RootTexts& texts,
                        ProgressReporter* progress, Encoding e, int64_t firstPlace, CandidateJudges& judges) {
  std::string& noScaled = texts.noScaled;
  std::shared_ptr<Place> place = judges.open(noScaled + "00");
  judges.setRoot(*place, texts.rootStr);
  for (int64_t k = firstPlace; k <= length; ++k) {
    noScaled += "00";
    // The next place's candidates follow this place's in the queue: threads
    // with nothing left here build its noScaled values meanwhile.
    const std::shared_ptr<Place> next = k < length ? judges.open(noScaled + "00") : nullptr;
    std::string prevDigit = "0";
    std::string rootStrNew;
    for (int32_t n = 0; n <= 9; ++n) {
      const Judgement& j = judges.judgement(*place, n);
      rootStrNew = texts.rootStr;
      rootStrNew += digitOf(n);
      if (debug) {
        logFile << texts::kTraceN << n << texts::kTraceRootStrNew << rootStrNew << std::endl;
        writeValues(logFile, j.noScaledText, j.xText);
        if (!logFile) return false;
      }
      if (!j.overshoots) prevDigit.assign(1, digitOf(n));
      const bool limit = !j.overshoots && j.below && n == 9;
      if (!j.overshoots && !limit) continue;

      judges.decide(*place, n);
      takeDigit(texts, rootStrNew, prevDigit);
      if (next) judges.setRoot(*next, texts.rootStr);
      const Acceptance& a = judges.acceptance(*place, n);
      assert(a.digit == prevDigit[0] && "the deciding candidate's thread takes the digit the log takes");
      if (limit) {
        logFile << texts::kLimit.in(e) << std::endl << texts::kCase2.in(e) << std::endl;
      } else if (debug) {
        logFile << texts::kCase1.in(e) << std::endl;
      }
      if (limit || debug) writeValues(logFile, a.noScaledText, a.squareText);
      writeResultRecord(logFile, no, k, texts.resultText, e);
      break;
    }
    if (next) judges.setRoot(*next, texts.rootStr);  // a place no case decided keeps its root
    if (!logFile) return false;
    if (progress) progress->place(static_cast<int32_t>(k));
    place = next;
  }
  return true;
}

}  // namespace

int run(ProgramState& state, Console& console, const Services& services, const char* logPath, bool resume) {
  std::ostream& out = console.out;
  const Encodings& e = console.encodings;
  bool computing = false;  // whether the log has been emptied for this run's records
  try {
    // The log must be writable before any question is asked, but what it
    // holds is kept until every answer is usable: a refused run changes nothing.
    if (!state.logFile.open(logPath, services.openLog)) {
      reportLogFault(console.err, texts::kLogOpenFailed, logPath, state.logFile.error(), e.err);
      return giveUp(state, console);
    }
    int32_t no = 0;
    int32_t length = 0;
    const auto any = [](auto) { return true; };
    const auto nonNegative = [](int32_t v) { return v >= 0; };
    if (!ask(console, kDebugQuestion, state.debug, any) || !ask(console, kNoQuestion, no, nonNegative) ||
        !ask(console, kLengthQuestion, length, any)) {
      return giveUp(state, console);
    }
    // A resumed run keeps the places its log holds whole and cuts off the
    // rest; the log is read while this run holds it, before anything is written.
    LogReading kept;
    if (resume) {
      const ResumeExpectation expected{no, state.debug, e.log, kLogFileCrLf ? LineEnd::crLf : LineEnd::lf,
                                       length};
      if (!readForResume(state.logFile, expected, logPath, console.err, e.err, kept))
        return giveUp(state, console);
    }
    if (!(kept.places > 0 ? state.logFile.cut(kept.cutOffset) : state.logFile.truncate())) {
      reportLogFault(console.err, texts::kLogWriteFailed, logPath, state.logFile.error(), e.err);
      return giveUp(state, console);
    }
    computing = true;
    state.logFile.syncEvery(kSyncInterval, services.syncClock, console.durable);

    out << texts::kComputing.in(e.out) << std::endl;
    ProgressReporter progress(console.errTerminal, length, services.clock);
    progress.resumeAfter(static_cast<int32_t>(kept.places));
    state.texts.noScaled = std::to_string(no);
    state.texts.rootStr = std::to_string(integerPart(no, out, state.texts.resultText));
    // The places kept carry the computation's state in their last result.
    if (kept.places > 0) state.texts = kept.texts;
    const bool logged = digitLoop(no, length, state.debug, state.logFile, state.texts, &progress, e.log,
                                  kept.places + 1, state.threads);
    progress.finish();

    // Closing reports what the last writes could not: both must succeed.
    const bool closed = state.logFile.close();
    if (!(logged && closed)) {
      reportLogFault(console.err, texts::kLogWriteFailed, logPath, state.logFile.error(), e.err);
      return giveUp(state, console);
    }
  } catch (const std::bad_alloc&) {
    // Wherever memory ran out, the run stops like any other that cannot go
    // on; the line it was building is dropped, so the log ends in whole lines.
    state.logFile.dropPending();
    if (state.logFile.is_open()) state.logFile.close(/*refused=*/!computing);
    console.err << texts::kOutOfMemory.in(e.err) << std::endl;
    return giveUp(state, console);
  }

  out << texts::kFinished.in(e.out) << std::endl;
  if (console.waitForKey) console.waitForKey();
  return 0;
}

int check(const char* logPath, std::ostream& out, std::ostream& err, Encoding e) {
  errno = 0;
  const std::unique_ptr<std::streambuf> bytes = openForReading(logPath);
  LogReading reading;
  if (bytes) {
    std::istream in(bytes.get());
    reading = checkLog(in);
  }
  if (!bytes || reading.readFailed) {
    const int error = errno;
    err << "longsqrt: " << quoted(logPath);
    if (error != 0) err << ": " << std::strerror(error);
    err << std::endl;
    return 1;
  }
  if (reading.problem) {
    out << quoted(logPath) << ": " << problemText(*reading.problem, e) << std::endl;
  } else {
    out << checkSummary(quoted(logPath), reading) << std::endl;
  }
  out.flush();
  if (!out) {
    const int error = errno;
    err << "longsqrt: write error";
    if (error != 0) err << ": " << std::strerror(error);
    err << std::endl;
    return 1;
  }
  return reading.problem ? 1 : 0;
}

int32_t integerPart(int32_t no, std::ostream& out, std::string& resultText) {
  if (no < 0) return -1;
  for (int32_t i = 0;; ++i) {
    arbitrary N(no);
    arbitrary S(0);
    arbitrary T(0);
    S = i;
    T = i;
    S *= T;
    if (S > N) {
      out << texts::kInput << N << std::endl;
      const int32_t result = i - 1;
      resultText = std::to_string(result) + texts::kPoint;
      return result;
    }
  }
}

bool digitLoop(int32_t no, int32_t length, bool debug, std::ostream& logFile, RootTexts& texts,
               ProgressReporter* progress, Encoding e, int64_t firstPlace, int threads) {
  if (threads > 1 && firstPlace <= length) {
    // This thread judges too: threads - 1 beside it. When the system starts
    // none, the loop runs alone, as with 1.
    CandidateJudges judges(threads - 1, debug);
    if (judges.helpers() > 0)
      return digitLoopOnThreads(no, length, debug, logFile, texts, progress, e, firstPlace, judges);
  }
  std::string& noScaled = texts.noScaled;
  const std::string& rootStr = texts.rootStr;
  const std::string& resultText = texts.resultText;

  // 64-bit place counter: a length of 2147483647 must end, not overflow.
  for (int64_t k = firstPlace; k <= length; ++k) {
    noScaled += "00";
    std::string prevDigit = "0";
    std::string rootStrNew;
    for (int32_t n = 0; n <= 9; ++n) {
      // Rebuilt from its text for every candidate, though it changes only
      // between places: the method keeps its numbers as decimal text and
      // judges each candidate from text alone, so no value outlives the
      // candidate it was built for.
      arbitrary noScaledValue(noScaled.c_str());
      rootStrNew = rootStr;
      rootStrNew += digitOf(n);
      if (debug) logFile << texts::kTraceN << n << texts::kTraceRootStrNew << rootStrNew << std::endl;

      arbitrary x = squareOf(rootStrNew);
      if (debug) {
        writeValues(logFile, noScaledValue, x);
        if (!logFile) return false;
      }

      arbitrary diff(0);
      diff = x;
      diff -= noScaledValue;

      // Case 1: this candidate's square overshoots, so the digit before it is
      // the place's digit. An exact match (diff == 0) does not end the place:
      // it waits for the next candidate to overshoot.
      const bool overshoots = diff > 0;
      if (!overshoots) prevDigit.assign(1, digitOf(n));
      // Case 2: even 9 leaves the square below the scaled radicand, so 9 it
      // is. The square of 9 cannot match it exactly: no * 100^k is a perfect
      // square only when no is one, and then its root ends in 0.
      const bool limit = !overshoots && diff < 0 && n == 9;
      if (!overshoots && !limit) continue;

      const arbitrary square = acceptDigit(texts, rootStrNew, prevDigit);
      if (limit) {
        // The limit block is part of the record, not a trace: it is written
        // whatever debug says.
        logFile << texts::kLimit.in(e) << std::endl << texts::kCase2.in(e) << std::endl;
      } else if (debug) {
        logFile << texts::kCase1.in(e) << std::endl;
      }
      if (limit || debug) writeValues(logFile, noScaledValue, square);
      writeResultRecord(logFile, no, k, resultText, e);
      break;
    }
    if (!logFile) return false;
    if (progress) progress->place(static_cast<int32_t>(k));
  }
  return true;
}

}  // namespace calc
