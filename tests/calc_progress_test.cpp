// Tests of the progress line: when it appears, how often it is redrawn, what
// it says, that it fits the terminal, that it is erased (also when a signal
// ends the run, or stops it) and drawn again when the run continues or the
// terminal is resized, and that nothing is written off a terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "calc/progress.h"
#include "failing_allocator.h"

#ifndef _WIN32
#include <sys/ioctl.h>

#include <csignal>

#include "calc/process.h"
#include "calc/texts.h"
#include "calc_test_util.h"
#include "terminal_util.h"
#else
#include "posix_only.h"
#endif

namespace {

using std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

// A clock the test moves by hand.
struct FakeClock {
  TimePoint now{};
  calc::ProgressReporter::Clock function() {
    return [this] { return now; };
  }
};

// A terminal on os of a width the test sets, never erased by signals.
calc::platform::Terminal terminalOf(std::ostream& os, const int& columns) {
  return {os, -1, [&columns] { return columns; }};
}

TEST(CalcProgress, DrawsAfterOneSecondAtMostFourTimesASecond) {
  struct Step {
    int ms;         // time of the call since the reporter started
    int32_t place;  // place reported
    bool drawn;     // whether the line is redrawn
  };
  const std::vector<Step> steps = {
      {0, 1, false},    {999, 2, false}, {1000, 3, true},  {1100, 4, false},
      {1249, 5, false}, {1250, 6, true}, {1499, 7, false}, {4000, 8, true},
  };
  FakeClock clock;
  std::ostringstream err;
  const int columns = 100;
  calc::ProgressReporter progress(terminalOf(err, columns), 200, clock.function());
  for (const Step& s : steps) {
    clock.now = TimePoint{} + milliseconds(s.ms);
    const std::string before = err.str();
    progress.place(s.place);
    EXPECT_EQ(err.str() != before, s.drawn) << s.ms;
  }
  EXPECT_EQ(err.str(),
            "\rplace 3 of 200, 0% of the work, 0:00:01, about 1:14:03 left\r"
            "\rplace 6 of 200, 0% of the work, 0:00:01, about 0:26:18 left\r"
            "\rplace 8 of 200, 0% of the work, 0:00:04, about 0:48:54 left\r");
}

// Every place of a run drawn: the share of the work never falls and is 100%
// at the last place, where no time is left, and no line is wider than the
// terminal less its last column and two for an echoed "^C". A resumed run
// counts only the work left: its first place is a sliver of it.
TEST(CalcProgress, ShareRisesToTheWholeAndTheLineFitsTheTerminal) {
  struct Run {
    int columns;  // 0: unknown, 80
    int32_t length;
    int32_t done = 0;  // places a resumed run had before
  };
  for (const auto& [columns, length, done] :
       std::vector<Run>{{100, 1}, {100, 2}, {100, 500}, {0, 3000}, {40, 50}, {4, 20}, {100, 500, 250}}) {
    FakeClock clock;
    std::ostringstream err;
    calc::ProgressReporter progress(terminalOf(err, columns), length, clock.function());
    progress.resumeAfter(done);
    int share = -1;
    std::string line;
    for (int32_t k = done + 1; k <= length; ++k) {
      clock.now += std::chrono::seconds(1);
      const std::size_t before = err.str().size();
      progress.place(k);
      line = err.str().substr(before + 1, err.str().size() - before - 2);  // between its two "\r"
      EXPECT_LE(line.size(), (columns > 0 ? columns : 80) - 3u) << line;
      const std::size_t percent = line.find("% of the work");
      if (percent == std::string::npos) continue;
      const int now = std::stoi(line.substr(line.rfind(' ', percent) + 1));
      EXPECT_GE(now, share) << line;
      if (share < 0 && done > 0) {
        EXPECT_LT(now, 5) << line;
      }
      share = now;
    }
    if (columns == 100) {  // wide enough for the whole line
      EXPECT_EQ(share, 100) << length;
      EXPECT_NE(line.find(", about 0:00:00 left"), std::string::npos) << line;
    }
  }
}

TEST(CalcProgress, BlanksAndErasesTheWidestLineWithinTheWidth) {
  FakeClock clock;
  failing_allocator::FixedSink buffer;
  std::ostream err(&buffer);
  int columns = 100;
  calc::ProgressReporter progress(terminalOf(err, columns), 100000, clock.function());
  clock.now += std::chrono::seconds(1);
  progress.place(5);
  clock.now += std::chrono::seconds(1);
  progress.place(99999);
  // A shorter line blanks what is left of the longer one; each leaves the
  // cursor at the line's start.
  const std::string first = "place 5 of 100000, 0% of the work, 0:00:01, more than 99999:59:59 left";
  const std::string second = "place 99999 of 100000, 99% of the work, 0:00:02, about 0:00:00 left";
  ASSERT_EQ(buffer.str(),
            "\r" + first + "\r\r" + second + std::string(first.size() - second.size(), ' ') + "\r");
  // The erase allocates nothing: a run that ran out of memory erases too.
  failing_allocator::allocationsUntilFailure = 1;
  progress.finish();
  const bool allocated = failing_allocator::allocationsUntilFailure == 0;
  failing_allocator::allocationsUntilFailure = 0;
  EXPECT_FALSE(allocated);
  const std::string erased = "\r" + std::string(first.size(), ' ') + "\r";
  EXPECT_EQ(buffer.str().substr(4 + 2 * first.size()), erased);  // the widest line shown
  progress.finish();                                             // nothing left to erase
  EXPECT_EQ(buffer.str().size(), 4 + 2 * first.size() + erased.size());
  // The terminal narrows under a long line: neither the blanks after the
  // next, shorter line nor the erase reach its last column.
  clock.now += std::chrono::seconds(1);
  progress.place(6);
  columns = 30;
  const size_t before = buffer.str().size();
  clock.now += std::chrono::seconds(1);
  progress.place(100000);
  progress.finish();
  EXPECT_EQ(buffer.str().substr(before), "\rplace 100000 of 100000, 100\r\r" + std::string(27, ' ') + "\r");
}

TEST(CalcProgress, WithoutATerminalNeverAsksTheTime) {
  int reads = 0;
  calc::ProgressReporter progress(std::nullopt, 10, [&] {
    ++reads;
    return TimePoint{} + std::chrono::hours(1);
  });
  for (int32_t k = 1; k <= 10; ++k) progress.place(k);
  progress.finish();
  EXPECT_EQ(reads, 0);
}

#ifndef _WIN32

// Returns the handler of sig now.
void (*handlerOf(int sig))(int) {
  struct sigaction now;
  sigaction(sig, nullptr, &now);
  return now.sa_handler;
}

TEST(CalcProgress, StandardErrorShowsTheLineOnlyWhenItIsATerminal) {
  terminal_test::Terminal t;
  if (!t.ok()) GTEST_SKIP() << "no pseudo-terminal available";
  const int devNull = open("/dev/null", O_WRONLY);
  for (const int err : {devNull, t.slave}) {
    const int saved = dup(2);
    dup2(err, 2);
    const char* argv[] = {"longsqrt"};
    calc::Options options;
    std::optional<calc::Console> console;
    const int status = calc::setUpFromProcess(1, argv, nullptr, options, console).value_or(-1);
    dup2(saved, 2);
    close(saved);
    EXPECT_EQ(status, -1);
    // The line's terminal is standard error's descriptor, or none.
    EXPECT_EQ(console && console->errTerminal ? console->errTerminal->fd : -1, err == devNull ? -1 : 2);
  }
  close(devNull);
}

TEST(CalcProgress, TakesOverSignalsOnlyWhileTheLineIsShownAndNotWhenIgnored) {
  // SIGHUP, the lowest number, is the first handler put in place: it goes back too.
  for (const int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGTSTP, SIGCONT, SIGWINCH}) {
    for (void (*before)(int) : {SIG_DFL, SIG_IGN}) {
      struct sigaction saved;
      sigaction(sig, nullptr, &saved);
      std::signal(sig, before);
      FakeClock clock;
      std::ostringstream err;
      const int columns = 100;
      calc::ProgressReporter progress(calc::platform::Terminal{err, 2, [&] { return columns; }}, 10,
                                      clock.function());
      clock.now += std::chrono::seconds(1);
      EXPECT_EQ(handlerOf(sig), before);
      progress.place(1);
      EXPECT_EQ(handlerOf(sig) != before, before == SIG_DFL) << sig;
      progress.finish();
      EXPECT_EQ(handlerOf(sig), before) << sig;
      sigaction(sig, &saved, nullptr);
    }
  }
}

// Reads what the terminal still holds until it stays quiet for a moment.
void drain(int fd, std::string& seen) {
  pollfd p = {fd, POLLIN, 0};
  char buffer[256];
  ssize_t n;
  while (poll(&p, 1, 300) > 0 && (n = read(fd, buffer, sizeof buffer)) > 0) seen.append(buffer, n);
}

// Returns what the terminal was given between carriage returns, in order,
// without the pieces left empty, the "^C", "^\" and "^Z" it echoed and the
// clearing to the end of the screen that starts a redraw.
std::vector<std::string> piecesOf(std::string seen) {
  for (const char* echo : {"^C", "^\\", "^Z", "\x1b[J"}) {
    const std::size_t size = std::strlen(echo);
    for (std::size_t at; (at = seen.find(echo)) != std::string::npos;) seen.erase(at, size);
  }
  std::vector<std::string> pieces;
  std::istringstream in(seen);
  for (std::string piece; std::getline(in, piece, '\r');) {
    if (!piece.empty()) pieces.push_back(piece);
  }
  return pieces;
}

TEST(CalcProgress, SignalsEraseTheLineAndStopsAndResizesDrawItAgain) {
  using namespace terminal_test;
  enum class First { nothing, stopAndContinue, narrow };
  struct Row {
    const char* name;
    int sig;           // the signal that ends the run
    const char* keys;  // typed to raise it, or nullptr: sent with kill
    First first = First::nothing;
    std::vector<std::string> args = {"--threads", "1"};
  };
  const std::vector<std::string> threads = {"--threads", "3"};
  const std::vector<Row> rows = {
      {"Ctrl-C", SIGINT, "\x03"},
      {"Ctrl-C, 3 threads", SIGINT, "\x03", First::nothing, threads},
      {"SIGTERM", SIGTERM, nullptr},
      {"SIGTERM, 7 threads", SIGTERM, nullptr, First::nothing, {"--threads=7"}},
      {"SIGHUP", SIGHUP, nullptr},
      {"Ctrl-\\", SIGQUIT, "\x1c"},
      {"Ctrl-Z, continued, SIGTERM", SIGTERM, nullptr, First::stopAndContinue},
      {"Ctrl-Z, continued, SIGTERM, 3 threads", SIGTERM, nullptr, First::stopAndContinue, threads},
      {"narrowed to 20 columns, Ctrl-C", SIGINT, "\x03", First::narrow},
      {"narrowed to 20 columns, Ctrl-C, 3 threads", SIGINT, "\x03", First::narrow, threads},
  };
  for (const Row& r : rows) {
    calc_test::TempDir dir;
    Terminal t;
    if (!t.ok()) GTEST_SKIP() << "no pseudo-terminal available";
    winsize size = {24, 40, 0, 0};
    ASSERT_EQ(ioctl(t.master, TIOCSWINSZ, &size), 0);

    // A stop needs a shell with job control around the program.
    const Streams streams{nullptr, nullptr};
    Job job;
    if (r.first == First::stopAndContinue) {
      job = startAsJob(t, dir.path.string(), LONGSQRT_EXE, r.args, streams);
    } else {
      job.shell = job.program = startOnTerminal(t, dir.path.string(), LONGSQRT_EXE, r.args, streams);
    }
    ChildGuard child{job.shell, job.program};
    ASSERT_GT(job.program, 0) << r.name;
    ASSERT_TRUE(t.type("0\n2\n20000\n"));
    std::string seen;
    ASSERT_TRUE(readUntil(t.master, " of the work", seen, 60)) << seen;

    if (r.first == First::stopAndContinue) {
      // Stopped, the line is erased and stays so; continued, it is back.
      ASSERT_TRUE(t.type("\x1a"));
      drain(t.master, seen);
      std::vector<std::string> pieces = piecesOf(seen);
      ASSERT_GE(pieces.size(), 2u) << r.name;
      EXPECT_EQ(pieces.back(), std::string(pieces[pieces.size() - 2].size() + 2, ' '))
          << r.name << ": " << seen;
      kill(job.program, SIGCONT);
      std::string after;
      EXPECT_TRUE(readUntil(t.master, " of the work", after)) << r.name;
      EXPECT_EQ(after.rfind("\r\x1b[Jplace ", 0), 0u) << r.name << ": " << after;
      seen += after;
    } else if (r.first == First::narrow) {
      // From the line's start to the end of the screen goes, then the line
      // comes back cut to the new width (less three columns).
      size.ws_col = 20;
      ASSERT_EQ(ioctl(t.master, TIOCSWINSZ, &size), 0);
      std::string after;
      ASSERT_TRUE(readUntil(t.master, "\x1b[J", after)) << r.name;
      const std::size_t at = after.find("\x1b[J");
      std::string redraw = after.substr(at + 3);
      EXPECT_TRUE(readUntil(t.master, "\r", redraw)) << r.name;
      const std::string shown = piecesOf(seen + after.substr(0, at)).back();
      EXPECT_EQ(redraw.substr(0, redraw.find('\r')), shown.substr(0, 17)) << r.name << ": " << after;
      seen += after.substr(0, at + 3) + redraw;
    }

    ASSERT_TRUE(r.keys ? t.type(r.keys) : kill(job.program, r.sig) == 0);
    const int status = child.wait();
    if (r.first == First::stopAndContinue) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + r.sig) << r.name << " " << status;
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == r.sig) << r.name << " " << status;
    }
    drain(t.master, seen);
    // An emulator reports the signal that ended its guest on the terminal
    // after it: that line is the emulator's, not the program's.
    if (underEmulator()) seen = seen.substr(0, seen.find("qemu: "));
    // Ctrl-C, SIGTERM and SIGHUP leave after the erase the line that says how
    // to go on, in the terminal's encoding.
    const bool noted = r.sig == SIGINT || r.sig == SIGTERM || r.sig == SIGHUP;
    std::size_t noteAt = std::string::npos;
    for (const calc::Encoding e : {calc::Encoding::big5, calc::Encoding::utf8})
      noteAt = std::min(noteAt, seen.find(calc::texts::kInterrupted.before.in(e)));
    ASSERT_EQ(noteAt != std::string::npos, noted) << r.name << ": " << seen;
    const std::string note = noted ? seen.substr(noteAt) : "";
    if (noted) seen.resize(noteAt);

    // The screen ends with a line and blanks over it and the echoed "^C",
    // short of the last column.
    const std::vector<std::string> pieces = piecesOf(seen);
    ASSERT_GE(pieces.size(), 2u) << r.name;
    const std::string& line = pieces[pieces.size() - 2];
    EXPECT_EQ(line.rfind("place ", 0), 0u) << r.name << ": " << seen;
    EXPECT_EQ(pieces.back(), std::string(line.size() + 2, ' ')) << r.name << ": " << seen;
    EXPECT_LE(pieces.back().size(), size.ws_col - 1u) << r.name;
    for (const calc::Encoding e : {calc::Encoding::big5, calc::Encoding::utf8}) {
      EXPECT_EQ(seen.find(calc::texts::kFinished.in(e)), std::string::npos) << r.name;
    }
    // The log holds the places finished, in whole lines: the signal may fall
    // between two lines of a record, so it is a start of the log of one place
    // more that ends in a line end.
    const std::string log = calc_test::readFile((dir.path / "log.txt").string());
    int64_t places = 0;
    for (size_t at = 0; (at = log.find(std::string("\n") + calc::texts::kSeparator + "\n", at)) != log.npos;
         ++at)
      ++places;
    EXPECT_TRUE(!log.empty() && log.back() == '\n' &&
                calc_test::expectedLog(2, places + 1).compare(0, log.size(), log) == 0)
        << r.name << ": " << places << " places";
    // The note counts the places the log holds whole (one less when the
    // signal fell between a record and the count), and its command and
    // answers continue them.
    bool noteFits = !noted;
    for (const calc::Encoding e : {calc::Encoding::big5, calc::Encoding::utf8}) {
      for (const int64_t held : {places - 1, places}) {
        using namespace calc::texts;
        noteFits = noteFits || note == std::string(kInterrupted.before.in(e)) + "log.txt" +
                                           kInterrupted.after.in(e) + std::to_string(held) +
                                           kInterruptedPlaces.in(e) + "longsqrt --resume" +
                                           kAnswerAgain.in(e) + "0, 2, 20000\r\n";
      }
    }
    EXPECT_TRUE(noteFits) << r.name << ": " << note;
  }
}

#else  // _WIN32

LONGSQRT_POSIX_ONLY_TEST(CalcProgress, StandardErrorShowsTheLineOnlyWhenItIsATerminal, LONGSQRT_NEEDS_PTY)
LONGSQRT_POSIX_ONLY_TEST(CalcProgress, TakesOverSignalsOnlyWhileTheLineIsShownAndNotWhenIgnored,
                         LONGSQRT_NEEDS_SIGNALS)
LONGSQRT_POSIX_ONLY_TEST(CalcProgress, SignalsEraseTheLineAndStopsAndResizesDrawItAgain, LONGSQRT_NEEDS_PTY)

#endif  // _WIN32

}  // namespace
