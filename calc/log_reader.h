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
#include <iosfwd>
#include <string>

#include "calc/log_reading.h"

namespace calc {

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
