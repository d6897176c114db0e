// Reading a run log back: in one pass over its bytes, decides whether a log is
// what a run writes, how many places it holds whole and the state a run
// continues from after them.
//
// A log is read line by line and never held whole: only the current line and
// the current place's values are kept, so a log of gigabytes reads in time
// linear in its size. Every line must be the one a run writes there: the
// candidate traces, case-1 traces, limit blocks and result records of places
// 1, 2, 3 ... in order, in one encoding and with one kind of line end, and
// possibly the start of one more place (whole lines of it and at most one
// unfinished last line, as an interrupted run leaves). Each result's root must
// be the previous root and the right next digit (checked exactly on the
// remainder of the long-hand method, so the first wrong result is the one
// named), and the last root r must satisfy r^2 <= no * 100^K < (r + 1)^2.
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

// The first line of a log that is not what a run writes there.
struct LogProblem {
  int64_t line = 0;             // its number, counted from 1
  std::string holds;            // its bytes as read, without the line end (an overlong line: its start)
  std::string expected;         // the line that belongs there, or what belongs there in words
  bool expectedIsLine = false;  // true when expected is the exact line (raw bytes, like holds)
};

// What a resumed run writes: its answers, its encoding and its line ends.
struct ResumeExpectation {
  int32_t no = 0;  // the radicand; precondition: 0 <= no
  bool debug = false;
  Encoding encoding = Encoding::big5;
  LineEnd lineEnd = LineEnd::lf;
  // The places the run asks for: a log holding more places whole is refused,
  // at the first line of place length + 1 (a begun place length + 1 is not).
  int64_t length = std::numeric_limits<int64_t>::max();
};

// What reading a log found. With a problem, the facts and counts describe the
// lines before it; without one, the whole log.
struct LogReading {
  std::optional<LogProblem> problem;  // the first wrong line, if any
  bool readFailed = false;            // the stream failed before its end (badbit): nothing is decided
  std::optional<int32_t> no;          // the radicand, once a line shows it
  std::optional<bool> debug;          // whether the log traces candidates, once a line shows it
  std::optional<Encoding> encoding;   // once a line with non-ASCII text shows it
  std::optional<LineEnd> lineEnd;     // once a whole line shows it
  int64_t places = 0;                 // K: places 1 .. K are whole
  uint64_t cutOffset = 0;             // the bytes of places 1 .. K: where the log is cut to continue
  bool unfinished = false;            // bytes follow the cut: place K + 1 was begun
  uint64_t bytes = 0;                 // the bytes read
  int64_t lines = 0;                  // the lines read, an unfinished last one included
  // The state after place K, from which a run continues with place K + 1:
  // noScaled is no and 2K zeros, rootStr the root's digits, resultText the
  // root as printed. Empty while no is unknown.
  RootTexts texts;

  // Returns true when the log was read to its end and every line is right.
  bool ok() const { return !problem && !readFailed; }
};

// Reads a log for a run that continues it: every line must be what that run
// writes (its no, debug, encoding and line ends). Place K's noScaled and x
// values are verified exactly and the traces of earlier places by their form
// only. An empty stream reads as 0 places. Reads in to its end, or to the
// first problem.
LogReading readLogForResume(std::istream& in, const ResumeExpectation& run);

// Reads a log and verifies every line of it, finding no, debug, the encoding
// and the line ends from the log itself: each noScaled value is no and 2k
// zeros, each x the exact square of its candidate (or of the accepted root in
// a case-1 trace or limit block), each place tries the candidates the method
// tries. An empty stream reads as 0 places, without a problem.
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
