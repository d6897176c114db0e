// Finding the run a log belongs to from its first lines, for --check, which
// is given nothing but the log.
#ifndef LONGSQRT_CALC_LOG_START_H
#define LONGSQRT_CALC_LOG_START_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "calc/encoding.h"
#include "calc/log_reading.h"

namespace calc {

// What a log's first lines show of its run.
struct LogStart {
  // The run to replay against the log: every fact below, and for each fact
  // the log leaves open (it ends too soon) one that fits what it holds.
  // Nothing for an empty log, or when no run starts so (then problem).
  std::optional<ResumeExpectation> run;
  std::optional<LogProblem> problem;  // the first line no run's log has there
  // The facts the log shows.
  std::optional<int32_t> no;
  std::optional<bool> debug;
  std::optional<Encoding> encoding;
  std::optional<LineEnd> lineEnd;
};

// Returns what start, the first bytes of a log (a whole log or more than its
// first place), shows of the run that wrote it: debug from its first byte,
// the line ends from its first LF, the encoding from its first line in Big5
// or UTF-8, and no from the first line that shows it (a trace's noScaled
// value, a limit block's, or the first result line).
LogStart findRun(std::string_view start);

}  // namespace calc

#endif  // LONGSQRT_CALC_LOG_START_H
