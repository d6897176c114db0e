// The digit-by-digit loop, and the judges that run the method on the loop's
// own thread.
#include "calc/digit_loop.h"

#include <cassert>
#include <ostream>

#include "calc/candidate_judges.h"
#include "calc/candidate_values.h"

namespace calc {

namespace {

// Returns the text of candidate digit n.
char digitOf(int32_t n) { return static_cast<char>('0' + n); }

// Judges on the calling thread, by the method itself: for each candidate the
// noScaled value and two values of its root are built from their texts, the
// square formed with operator*= and diff with operator-=; on acceptance the
// square of the new root is formed the same way and shown beside the deciding
// candidate's noScaled value.
class JudgesOnThisThread final : public Judges {
 public:
  // debug: the judgements carry the text of their values for the traces.
  explicit JudgesOnThisThread(bool debug) : debug_(debug) {}

  void beginPlace(const std::string& noScaled, const std::string&, bool) override { noScaled_ = &noScaled; }

  const Judgement& judge(int32_t, const std::string& rootStrNew) override {
    // Rebuilt from its text for every candidate, though it changes only
    // between places: the method keeps its numbers as decimal text and judges
    // each candidate from text alone, so no value outlives the candidate it
    // was built for.
    noScaledValue_ = arbitrary(noScaled_->c_str());
    const arbitrary x = squareOf(rootStrNew);
    if (debug_) {
      judgement_.noScaledText = decimalText(noScaledValue_);
      judgement_.xText = decimalText(x);
    }
    judgement_.diff = signOfDifference(x, noScaledValue_);
    return judgement_;
  }

  const Acceptance& accept(int32_t, const Decision& d, const std::string& newRoot) override {
    const arbitrary square = squareOf(newRoot);
    if (debug_ || d.how == Case::limit) {
      acceptance_.noScaledText = decimalText(noScaledValue_);
      acceptance_.squareText = decimalText(square);
    }
    return acceptance_;
  }

 private:
  bool debug_;
  const std::string* noScaled_ = nullptr;
  arbitrary noScaledValue_;  // the candidate being judged's, until the next
  Judgement judgement_;
  Acceptance acceptance_;
};

}  // namespace

bool digitLoop(const DigitRun& run, LineSink& sink, RootTexts& texts, Judges& judges,
               const std::function<void(int64_t)>& placeDone) {
  RunLogWriter log(sink, run.encoding);
  std::string rootStrNew;
  // 64-bit place counter: a length of 2147483647 must end, not overflow.
  for (int64_t k = run.firstPlace; k <= run.length; ++k) {
    texts.noScaled += "00";
    judges.beginPlace(texts.noScaled, texts.rootStr, k < run.length);
    for (int32_t n = 0; n <= 9; ++n) {
      rootStrNew = texts.rootStr;
      rootStrNew += digitOf(n);
      if (run.debug && !log.candidate(n, rootStrNew)) return false;
      const Judgement& j = judges.judge(n, rootStrNew);
      if (run.debug && !log.values(j.noScaledText, j.xText)) return false;
      const std::optional<Decision> d = decide(n, j.diff);
      if (!d) continue;

      // The place's digit: rootStrNew and rootStr become the root so far
      // followed by it, resultText gains it.
      rootStrNew = texts.rootStr;
      rootStrNew += digitOf(d->digit);
      texts.rootStr = rootStrNew;
      texts.resultText += digitOf(d->digit);
      const Acceptance& a = judges.accept(n, *d, texts.rootStr);
      if (!log.decision(*d, run.debug, a.noScaledText, a.squareText) ||
          !log.result(run.no, k, texts.resultText))
        return false;
      break;
    }
    if (placeDone) placeDone(k);
  }
  return true;
}

bool digitLoop(int32_t no, int32_t length, bool debug, std::ostream& logFile, RootTexts& texts,
               const std::function<void(int64_t)>& placeDone, Encoding encoding, int64_t firstPlace,
               int threads) {
  assert(no >= 0 && firstPlace >= 1 && "a radicand of 0 .. 2147483647, places counted from 1");
  const DigitRun run{no, firstPlace, length, debug, encoding};
  StreamLineSink sink(logFile);
  if (threads > 1 && firstPlace <= length) {
    // This thread judges too: threads - 1 beside it. When the system starts
    // none, the loop runs alone, as with 1.
    CandidateJudges judges(threads - 1, debug);
    if (judges.helpers() > 0) return digitLoop(run, sink, texts, judges, placeDone);
  }
  JudgesOnThisThread judges(debug);
  return digitLoop(run, sink, texts, judges, placeDone);
}

}  // namespace calc
