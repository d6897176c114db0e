// What reading a run log back finds: the run it belongs to, its first wrong
// line, and the places it holds whole with the state a run continues from.
#ifndef LONGSQRT_CALC_LOG_READING_H
#define LONGSQRT_CALC_LOG_READING_H

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "calc/encoding.h"
#include "calc/run_log.h"

namespace calc {

// How a wrong line differs from the line that belongs there.
enum class Mismatch {
  line,      // it is another line: expected is the line that belongs there
  encoding,  // it is that line in the other encoding
  lineEnd,   // it is that line with the other line end
  words,     // expected says in words what belongs there
};

// The first line of a log that is not what its run writes there.
struct LogProblem {
  int64_t line = 0;      // its number, counted from 1
  std::string holds;     // its bytes as read, without its LF (a long line: its start)
  std::string expected;  // the line that belongs there, without its line end, or words
  Mismatch kind = Mismatch::line;
  Encoding encoding = Encoding::big5;  // the encoding of the run's lines
  LineEnd lineEnd = LineEnd::lf;       // the run's line ends
};

// The run whose log is read: its answers, its encoding and its line ends.
struct ResumeExpectation {
  int32_t no = 0;  // the radicand; precondition: 0 <= no
  bool debug = false;
  Encoding encoding = Encoding::big5;
  LineEnd lineEnd = LineEnd::lf;
  // The places the run asks for: a log holding more places whole is refused,
  // at the first line of place length + 1 (a begun place length + 1 is not).
  int64_t length = std::numeric_limits<int64_t>::max();
};

// What reading a log found. With a problem, the counts describe the lines
// before it.
struct LogReading {
  std::optional<LogProblem> problem;  // the first wrong line, if any
  bool readFailed = false;            // the stream failed before its end: nothing is decided
  // The run, as far as the log shows it (--check learns it from the log).
  std::optional<int32_t> no;
  std::optional<bool> debug;
  std::optional<Encoding> encoding;
  std::optional<LineEnd> lineEnd;
  int64_t places = 0;       // K: places 1 .. K are whole
  uint64_t cutOffset = 0;   // the bytes of places 1 .. K: where the log is cut to continue
  bool unfinished = false;  // bytes follow the cut: place K + 1 was begun
  uint64_t bytes = 0;       // the bytes read
  int64_t lines = 0;        // the lines read, an unfinished last one included
  // The state after place K, from which a run continues with place K + 1:
  // noScaled is no and 2K zeros, rootStr the root's digits, resultText the
  // root as printed. Empty when the log does not show no.
  RootTexts texts;

  // Returns true when the log was read to its end and every line is right.
  bool ok() const { return !problem && !readFailed; }
};

}  // namespace calc

#endif  // LONGSQRT_CALC_LOG_READING_H
