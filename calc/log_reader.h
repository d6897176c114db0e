// Reading a run log back: whether a log is, byte for byte, a start of what a
// run writes, how many places it holds whole and the state a run continues
// from after them. Shared by --resume and --check.
//
// The reader replays the run: the digit loop itself, with the same rule for
// each digit and the same record writer, judges every candidate by a square
// carried from place to place in decimal limbs (time linear in each value's
// digits, so a log of K places reads in time growing with K^2), and holds each
// line the run would write against the log's next line. Every line is
// verified: each noScaled value, each x, each result, and an unfinished last
// line as far as it goes. A log is accepted exactly when it is a start of the
// log of its run: whole lines, and at most one unfinished last line. Only the
// current line and the run's texts are held, never the log.
#ifndef LONGSQRT_CALC_LOG_READER_H
#define LONGSQRT_CALC_LOG_READER_H

#include <cstddef>
#include <cstdint>
#include <iosfwd>
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

// Reads a log for a run that continues it: the log must be a start of the
// log that run writes (its no, debug, encoding and line ends). An empty
// stream reads as 0 places. Reads to its end, or to the first problem.
LogReading readLogForResume(std::istream& in, const ResumeExpectation& run);

// Reads a log and verifies every line of it as readLogForResume does, for the
// run that its first lines show: debug from the first byte, the line ends
// from the first line, no from the first line that shows it, the encoding
// from the first line in Big5 or UTF-8. An empty stream reads as 0 places,
// without a problem.
LogReading checkLog(std::istream& in);

// Returns the one-line summary of a checked log for the user, path first:
// "log.txt: no 2, debug 0, Big5, LF, 1000 whole places", followed by
// ", then an unfinished place 1001 (--resume continues it)" when reading.unfinished.
// "1 whole place" is singular; a fact the log does not show (an empty log, an
// unfinished first line) is left out.
std::string checkSummary(const std::string& path, const LogReading& reading);

// Returns line cut to its first max bytes followed by "..." when it is longer
// (a multi-byte character may be cut); otherwise line itself.
std::string shortened(const std::string& line, std::size_t max = 80);

}  // namespace calc

#endif  // LONGSQRT_CALC_LOG_READER_H
