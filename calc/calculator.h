// The square-root calculator: a run from its console (or its operands) to its
// log, the integer-part search, and --check of a log.
#ifndef LONGSQRT_CALC_CALCULATOR_H
#define LONGSQRT_CALC_CALCULATOR_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "calc/log_file.h"
#include "calc/options.h"
#include "calc/progress.h"
#include "calc/run_log.h"
#include "calc/texts.h"

namespace calc {

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
  bool durable = true;  // whether the log is synced to the disk (off only to measure what that costs)
  // Sets the note that Ctrl-C, SIGTERM or SIGHUP writes on standard error
  // while a run computes ("": none, and takes the signals back); empty: no note.
  std::function<void(const std::string& note)> noteOnInterrupt = nullptr;
};

// The longest run time between two syncs of the log to the disk: what a crash
// or a power cut may cost a run that is resumed.
inline constexpr std::chrono::seconds kSyncInterval{10};

// What a run asks of the system beside its console: the time, for the
// progress line and for the log's periodic sync, and the log's file. Tests
// put their own in place.
struct Services {
  ProgressReporter::Clock clock = ProgressReporter::steadyClock;
  LogFile::Clock syncClock = ProgressReporter::steadyClock;
  LogFile::Opener openLog = openLogFile;
};

// The exit status of a run whose log on standard output lost its reader: a
// writer into a pipe nobody reads ends so (128 and SIGPIPE).
inline constexpr int kBrokenPipeStatus = 141;

// Runs as options say: opens the log at options.logPath with
// services.openLog (keeping what it holds), times the progress line by
// services.clock, asks for debug, no and length (or takes options.answers and
// asks nothing), empties the log once all three answers are usable, computes
// the places into it on up to options.threads threads (by default
// defaultThreads()), then, having asked, writes the completion message, shows
// the root where console.err is a terminal and waits for a key, or, given its
// answers, writes the root alone on console.out (unless the log went there).
// With options.resume the log is read back first: a log of this run (the
// same no, debug, encoding and line ends) keeps the places 1 .. K it holds
// whole, is cut after them and gets places K + 1 .. length, so that it ends
// as an uninterrupted run's log; a missing or empty log makes an ordinary
// run. On a terminal an unusable answer is refused and its question asked
// again; elsewhere it ends the run. While it computes, console.noteOnInterrupt
// is given, after each place, the note that says how to go on. The log is
// synced to the disk at least every kSyncInterval of services.syncClock and
// before success. Returns 0 when the log holds every requested place, 1 when
// the run was refused (unusable or missing answer, unreadable input, log not
// openable, held by another run or one of the run's own standard streams, a
// log --resume cannot continue, named at its first wrong line; the log is
// then left as it was) or stopped (the log could not be written or synced,
// memory ran out; the log then ends in whole lines), kBrokenPipeStatus when
// the reader of a log on standard output stopped reading; each refusal or
// fault is reported on console.err, a log fault with its reason and every
// message about the log with its path.
int run(ProgramState& state, Console& console, const Options& options, const Services& services = {});

// Verifies every line of the log at logPath and asks nothing. Returns 0 after
// writing its one-line summary to out ("log.txt: no 2, debug 0, Big5, LF, 1000
// whole places"); 1 after writing its first wrong line (number, what it holds,
// what belongs there, log texts in e) to out, or after a one-line message on
// err when the log cannot be read or out fails.
int check(const char* logPath, std::ostream& out, std::ostream& err, Encoding e = Encoding::big5);

// Returns floor(sqrt(no)) by a linear search on arbitrary squares, writes
// "input = " and no as a line to out and sets resultText to the root and ".".
// A negative no is outside the search: returns -1 and writes and sets nothing.
int32_t integerPart(int32_t no, std::ostream& out, std::string& resultText);

}  // namespace calc

#endif  // LONGSQRT_CALC_CALCULATOR_H
