// The square-root calculator: the console dialogue that drives a run, the
// integer-part search and the digit-by-digit loop that writes the run log.
#ifndef LONGSQRT_CALC_CALCULATOR_H
#define LONGSQRT_CALC_CALCULATOR_H

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "calc/log_file.h"
#include "calc/progress.h"
#include "calc/texts.h"

namespace calc {

// The decimal texts that carry the computation from one place to the next.
struct RootTexts {
  std::string noScaled;    // no * 100^k while place k is being decided
  std::string rootStr;     // the root digits found so far, without a point
  std::string resultText;  // the root as printed: integer part, ".", digits
};

// The state that lives for the whole run: the trace switch, the log, the texts.
struct ProgramState {
  bool debug = false;  // true writes every candidate's trace to the log
  LogFile logFile;     // the run log, opened and closed by run()
  RootTexts texts;     // the computation's state between places
};

// The encoding of the texts each of a run's destinations receives.
struct Encodings {
  Encoding out = Encoding::big5;  // prompts and console lines (standard output)
  Encoding err = Encoding::big5;  // refusals and faults (standard error)
  Encoding log = Encoding::big5;  // the run log
};

// The console a run talks through: its streams, what they are and speak, and
// the wait for a key that ends every run.
struct Console {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  std::function<void()> waitForKey;               // the wait for a key that ends every run
  std::optional<platform::Terminal> errTerminal;  // err as a terminal, for the progress line; none: no line
  bool inIsTerminal = false;                      // whether an unusable answer is asked again
  Encodings encodings{};                          // the bytes of the texts on each destination
  std::function<int()> inputError = nullptr;  // why in ended: a read error's number, 0 for its end (or empty)
};

// What a run asks of the system beside its console: the time, for the
// progress line, and the log's file. Tests put their own in place.
struct Services {
  ProgressReporter::Clock clock = ProgressReporter::steadyClock;
  LogFile::Opener openLog = openLogFile;
};

// Runs the whole dialogue: opens the log at logPath with services.openLog
// (keeping what it holds), times the progress line by services.clock,
// asks for debug, no and length, empties the log once all three answers are
// usable, computes the places into it and waits for a key. On a terminal an
// unusable answer is refused and its question asked again; elsewhere it ends
// the run. Returns 0 when the log holds every requested place, 1 when the run
// was refused (unusable or missing answer, unreadable input, log not openable
// or held by another run; the log is then left as it was) or stopped (the log
// could not be written, memory ran out; the log then ends in whole lines);
// each refusal or fault is reported on console.err, a log fault with the
// system's reason.
int run(ProgramState& state, Console& console, const Services& services = {},
        const char* logPath = texts::kLogFileName);

// Returns floor(sqrt(no)) by a linear search on arbitrary squares, writes
// "input = " and no as a line to out and sets resultText to the root and ".".
// A negative no is outside the search: returns -1 and writes and sets nothing.
int32_t integerPart(int32_t no, std::ostream& out, std::string& resultText);

// Extends texts by length decimal places of sqrt(no), one digit per place,
// writing result records (and, when debug, candidate traces) in encoding to
// logFile and telling progress (when given) each place finished. Returns
// false as soon as a write to logFile fails, true when every place is logged.
// Precondition: no >= 0 and texts hold no, its integer root and "root.".
bool digitLoop(int32_t no, int32_t length, bool debug, std::ostream& logFile, RootTexts& texts,
               ProgressReporter* progress = nullptr, Encoding encoding = Encoding::big5);

}  // namespace calc

#endif  // LONGSQRT_CALC_CALCULATOR_H
