// The calculator's run, from opening its log to its end: the dialogue (or the
// answers given as operands), the integer-part search on arbitrary squares,
// continuing a log, the digit loop's place in the run, the messages about
// the log; and --check.
#include "calc/calculator.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <istream>
#include <limits>
#include <memory>
#include <new>
#include <ostream>

#include "bigint/arbitrary.h"
#include "calc/console_notes.h"
#include "calc/digit_loop.h"
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

// Writes a message that names the log at path: its first part, the path as
// the user gave it (control bytes as escapes), its second.
void writeNamed(std::ostream& os, const texts::LogText& t, const char* path, Encoding e) {
  os << t.before.in(e) << printable(path) << t.after.in(e);
}

// Writes the line that says why the log at path failed: what failed, then the
// reason for error, the system's or one of the log's own. A log another run
// holds, or a lack of memory, says so alone.
void reportLogFault(std::ostream& err, const texts::LogText& what, const char* path, const LogError& error,
                    Encoding e) {
  using Own = LogError::Own;
  if (error.own == Own::inUse) {
    writeNamed(err, texts::kLogHeld, path, e);
  } else if (error.system == ENOMEM) {
    err << texts::kOutOfMemory.in(e);
  } else {
    writeNamed(err, what, path, e);
    if (error.own == Own::danglingLink) {
      err << ": " << texts::kDanglingLink.in(e);
    } else if (error.own == Own::isInput || error.own == Own::isOutput) {
      err << ": " << (error.own == Own::isInput ? texts::kLogIsInput : texts::kLogIsOutput).in(e);
    } else if (error.system != 0) {
      err << ": " << std::strerror(error.system);
    }
  }
  err << std::endl;
}

// Returns bytes from a log as a message in encoding e may show them: the
// log's own texts in e whatever the log's encoding, every other byte that is
// not printable UTF-8 as an escape (\x8f).
std::string shown(const std::string& s, Encoding e) {
  const std::string text = printable(runlog::withLogTextsIn(s, Encoding::utf8));
  return e == Encoding::big5 ? runlog::withLogTextsIn(text, Encoding::big5) : text;
}

// Returns the name of an encoding and of a line end, as messages give them.
const char* nameOf(Encoding e) { return e == Encoding::utf8 ? "UTF-8" : "Big5"; }
const char* nameOf(LineEnd end) { return end == LineEnd::crLf ? "CR LF" : "LF"; }

// Returns what a message says of a wrong line: its number, what it holds (its
// first 80 bytes) and what belongs there, or how it differs from that.
std::string problemText(const LogProblem& p, Encoding e) {
  const auto line = [e](const std::string& bytes) { return '"' + shown(shortened(bytes, 80), e) + '"'; };
  const std::string holds = "line " + std::to_string(p.line) + " holds " + line(p.holds);
  switch (p.kind) {
    case Mismatch::line:
      break;
    case Mismatch::encoding:
      return holds + " in " + nameOf(p.encoding == Encoding::big5 ? Encoding::utf8 : Encoding::big5) +
             ", expected the same line in " + nameOf(p.encoding);
    case Mismatch::lineEnd:
      return holds + " ended by " + nameOf(p.lineEnd == LineEnd::lf ? LineEnd::crLf : LineEnd::lf) +
             ", expected the same line ended by " + nameOf(p.lineEnd);
    case Mismatch::words:
      return holds + ", expected " + shown(p.expected, e);
  }
  return holds + ", expected " + line(p.expected);
}

// Reads the log back for a run that continues it, into reading. Returns false
// after writing the message that refuses the run: the log could not be read,
// or it is not one this run continues.
bool readForResume(LogFile& log, const ResumeExpectation& run, const char* path, std::ostream& err,
                   Encoding e, LogReading& reading) {
  const std::unique_ptr<LogBytes> bytes = log.reader();
  if (!bytes) {
    if (!log.error()) return true;  // a device or a pipe: nothing to continue
    reportLogFault(err, texts::kLogReadFailed, path, log.error(), e);
    return false;
  }
  std::istream in(bytes.get());
  reading = readLogForResume(in, run);
  if (reading.readFailed) {
    reportLogFault(err, texts::kLogReadFailed, path, bytes->error(), e);
    return false;
  }
  if (reading.problem) {
    writeNamed(err, texts::kLogNotResumable, path, e);
    err << ": " << problemText(*reading.problem, e);
    // A log in the other encoding is continued with the option that wrote it.
    if (reading.problem->kind == Mismatch::encoding)
      err << (run.encoding == Encoding::big5 ? " (a UTF-8 log is continued with --utf8)"
                                             : " (a Big5 log is continued without --utf8)");
    err << std::endl;
    return false;
  }
  return true;
}

// Ends a run that cannot go on, once its message is written: releases the
// log and, when it asked its questions, waits for a key. A log still open
// here has not been written: it is left as it was.
int giveUp(ProgramState& state, Console& console, bool asked) {
  if (state.logFile.is_open()) state.logFile.close(/*refused=*/true);
  if (asked && console.waitForKey) console.waitForKey();
  return 1;
}

// Tells the console, while a run computes, the note an interruption writes;
// takes it back when the run stops computing.
class InterruptNotes {
 public:
  InterruptNotes(Console& console, const Options& options, const Answers& answers)
      : console_(console), options_(options), answers_(answers) {}
  ~InterruptNotes() {
    if (console_.noteOnInterrupt) console_.noteOnInterrupt("");
  }
  InterruptNotes(const InterruptNotes&) = delete;
  InterruptNotes& operator=(const InterruptNotes&) = delete;

  // Notes that the log holds places whole places; none yet, or a log on
  // standard output (its reader has the places): no note.
  void holds(int64_t places) {
    if (console_.noteOnInterrupt && places > 0 && options_.logPath != kLogToOutput)
      console_.noteOnInterrupt(interruptNote(options_, answers_, places, console_.encodings.err));
  }

 private:
  Console& console_;
  const Options& options_;
  const Answers& answers_;
};

// Shows where standard error is a terminal the root an interactive run
// computed, its last result line cut to the terminal's width, and the log's
// path.
void showRoot(const Console& console, const Options& options, const Answers& a, const RootTexts& texts) {
  if (!console.errTerminal) return;
  const platform::Terminal& terminal = *console.errTerminal;
  const Encoding e = console.encodings.err;
  if (a.length > 0) {
    const int columns = terminal.columns ? terminal.columns() : 0;
    terminal.stream << fittedResultLine(e, a.no, a.length, texts.resultText, columns) << '\n';
  }
  writeNamed(terminal.stream, texts::kLogShown, options.logPath.c_str(), e);
  terminal.stream << std::endl;
}

}  // namespace

int run(ProgramState& state, Console& console, const Options& options, const Services& services) {
  const char* logPath = options.logPath.c_str();
  const bool asked = !options.answers;  // the dialogue asks the answers; else nothing is asked or waited for
  const bool logToOutput = options.logPath == kLogToOutput;
  std::ostream& out = console.out;
  const Encodings& e = console.encodings;
  bool computing = false;  // whether the log has been emptied for this run's records
  Answers a = options.answers.value_or(Answers{});
  try {
    // The log must be writable before any question is asked, but what it
    // holds is kept until every answer is usable: a refused run changes nothing.
    if (!state.logFile.open(logPath, services.openLog)) {
      reportLogFault(console.err, texts::kLogOpenFailed, logPath, state.logFile.error(), e.err);
      return giveUp(state, console, asked);
    }
    if (asked) {
      const auto any = [](auto) { return true; };
      const auto nonNegative = [](int32_t v) { return v >= 0; };
      if (!ask(console, kDebugQuestion, a.debug, any) || !ask(console, kNoQuestion, a.no, nonNegative) ||
          !ask(console, kLengthQuestion, a.length, any)) {
        return giveUp(state, console, asked);
      }
    }
    state.debug = a.debug;
    // A resumed run keeps the places its log holds whole and cuts off the
    // rest; the log is read while this run holds it, before anything is written.
    LogReading kept;
    if (options.resume) {
      const ResumeExpectation expected{a.no, a.debug, e.log, kLogFileCrLf ? LineEnd::crLf : LineEnd::lf,
                                       a.length};
      if (!readForResume(state.logFile, expected, logPath, console.err, e.err, kept))
        return giveUp(state, console, asked);
    }
    if (!(kept.places > 0 ? state.logFile.cut(kept.cutOffset) : state.logFile.truncate())) {
      reportLogFault(console.err, texts::kLogWriteFailed, logPath, state.logFile.error(), e.err);
      return giveUp(state, console, asked);
    }
    computing = true;
    state.logFile.syncEvery(kSyncInterval, services.syncClock, console.durable);

    if (asked) out << texts::kComputing.in(e.out) << std::endl;
    ProgressReporter progress(console.errTerminal, a.length, services.clock);
    progress.resumeAfter(static_cast<int32_t>(kept.places));
    InterruptNotes notes(console, options, a);
    notes.holds(kept.places);
    state.texts.noScaled = std::to_string(a.no);
    std::ostream nowhere(nullptr);  // given its answers, a run writes no "input =" line
    state.texts.rootStr = std::to_string(integerPart(a.no, asked ? out : nowhere, state.texts.resultText));
    // The places kept carry the computation's state in their last result.
    if (kept.places > 0) state.texts = kept.texts;
    const auto placeDone = [&](int64_t k) {
      notes.holds(k);
      progress.place(static_cast<int32_t>(k));
    };
    const bool logged = digitLoop(a.no, a.length, a.debug, state.logFile, state.texts, placeDone, e.log,
                                  kept.places + 1, options.threads.value_or(defaultThreads()));
    progress.finish();

    // Closing reports what the last writes could not: both must succeed.
    const bool closed = state.logFile.close();
    if (!(logged && closed)) {
      // A reader of the log on standard output that stops early ends the
      // run as it ends any writer into a pipe nobody reads.
      if (logToOutput && state.logFile.error() == LogError(EPIPE)) return kBrokenPipeStatus;
      reportLogFault(console.err, texts::kLogWriteFailed, logPath, state.logFile.error(), e.err);
      return giveUp(state, console, asked);
    }
  } catch (const std::bad_alloc&) {
    // Wherever memory ran out, the run stops like any other that cannot go
    // on; the line it was building is dropped, so the log ends in whole lines.
    state.logFile.dropPending();
    if (state.logFile.is_open()) state.logFile.close(/*refused=*/!computing);
    console.err << texts::kOutOfMemory.in(e.err) << std::endl;
    return giveUp(state, console, asked);
  }

  if (!asked) {
    // The root alone, for a script; the log takes standard output when it goes there.
    if (!logToOutput) out << state.texts.resultText << std::endl;
    out.flush();
    if (!out) {
      const int error = errno;
      console.err << "longsqrt: write error";
      if (error != 0) console.err << ": " << std::strerror(error);
      console.err << std::endl;
      return 1;
    }
    return 0;
  }
  out << texts::kFinished.in(e.out) << std::endl;
  showRoot(console, options, a, state.texts);
  if (console.waitForKey) console.waitForKey();
  return 0;
}

int check(const char* logPath, std::ostream& out, std::ostream& err, Encoding e) {
  int error = 0;
  const std::unique_ptr<LogBytes> bytes = openForReading(logPath, error);
  LogReading reading;
  if (bytes) {
    std::istream in(bytes.get());
    reading = checkLog(in);
  }
  if (!bytes || reading.readFailed) {
    if (bytes) error = bytes->error();
    err << "longsqrt: " << printable(logPath);
    if (error != 0) err << ": " << std::strerror(error);
    err << std::endl;
    return 1;
  }
  if (reading.problem) {
    out << printable(logPath) << ": " << problemText(*reading.problem, e) << std::endl;
  } else {
    out << checkSummary(printable(logPath), reading) << std::endl;
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

}  // namespace calc
