// The digit-by-digit loop: extends the root one decimal place at a time,
// judging candidate digits through a source of judgements and writing the
// run log's records; the same loop for a run on one thread, on several, and
// for the log reader that replays a run to check its log.
#ifndef LONGSQRT_CALC_DIGIT_LOOP_H
#define LONGSQRT_CALC_DIGIT_LOOP_H

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <limits>
#include <string>

#include "calc/encoding.h"
#include "calc/judges.h"
#include "calc/run_log.h"

namespace calc {

// The places a loop computes and how it writes them.
struct DigitRun {
  int32_t no = 0;  // the radicand; precondition: no >= 0
  int64_t firstPlace = 1;
  int64_t length = 0;  // the last place (none when below firstPlace)
  bool debug = false;  // whether every candidate is traced
  Encoding encoding = Encoding::big5;
};

// Extends texts by the places run.firstPlace .. run.length of sqrt(run.no),
// one digit per place decided by decide(), asking judges for each candidate
// and writing every record to sink; placeDone (when given) is told each place
// finished. Returns false as soon as sink refuses a line, true when every
// place is written. Precondition: texts hold the state after place
// firstPlace - 1 (for place 1: no, its integer root and "root.").
bool digitLoop(const DigitRun& run, LineSink& sink, RootTexts& texts, Judges& judges,
               const std::function<void(int64_t)>& placeDone = nullptr);

// Extends texts by the decimal places firstPlace .. length of sqrt(no) as a
// run does, writing its records (and, when debug, candidate traces) in
// encoding to logFile and telling placeDone (when given) each place finished.
// With threads above 1, up to that many threads judge a place's candidates
// at once, the calling thread among them, which writes the log: the log, the
// texts and what progress is told are those of threads 1, byte for byte, and
// a candidate's std::bad_alloc reaches the caller as if the caller had judged
// it. Returns false as soon as a write to logFile fails, true when every
// place is logged. Precondition: no >= 0, firstPlace >= 1, and texts hold
// the state after place firstPlace - 1.
bool digitLoop(int32_t no, int32_t length, bool debug, std::ostream& logFile, RootTexts& texts,
               const std::function<void(int64_t)>& placeDone = nullptr, Encoding encoding = Encoding::big5,
               int64_t firstPlace = 1, int threads = 1);

}  // namespace calc

#endif  // LONGSQRT_CALC_DIGIT_LOOP_H
