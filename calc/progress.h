// A one-line progress display for long runs, shown on a terminal's standard
// error and erased before the run's closing message or when a signal ends it.
#ifndef LONGSQRT_CALC_PROGRESS_H
#define LONGSQRT_CALC_PROGRESS_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "calc/platform/platform.h"

namespace calc {

// Observes the place numbers of a run and keeps one line on a terminal up to
// date: the place reached, the share of the work done (weighted by what each
// place costs), the elapsed time and an estimate of the time left. It draws
// nothing during the first second, redraws at most every kRedrawInterval,
// cuts the line to the terminal's width, leaves the cursor at the line's
// start, and never writes anything without a terminal. While a
// line is shown, any signal that ends the process erases it first, a stop
// (Ctrl-Z) erases it and the continue draws it again, and a resize draws it
// again at the new width (on Windows, Ctrl-C and Ctrl-Break erase it).
class ProgressReporter {
 public:
  // Supplies the current time: the steady clock, or a hand-moved one in tests.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Returns the current time of the steady clock.
  static std::chrono::steady_clock::time_point steadyClock() { return std::chrono::steady_clock::now(); }

  // Holds back the first draw until a run has taken this long.
  static constexpr std::chrono::milliseconds kQuietPeriod{1000};
  // Keeps at least this long between two redraws.
  static constexpr std::chrono::milliseconds kRedrawInterval{250};
  // Assumes this width when the terminal does not tell its own.
  static constexpr int kUnknownColumns = 80;

  // Starts timing a run of length places whose line is shown on terminal, cut
  // to its width and kept through signals on its descriptor; without a
  // terminal it writes nothing and never asks the time.
  ProgressReporter(std::optional<platform::Terminal> terminal, int32_t length, Clock clock = steadyClock);
  // Erases the line if it is still shown and gives the signals back.
  ~ProgressReporter() { finish(); }
  ProgressReporter(const ProgressReporter&) = delete;
  ProgressReporter& operator=(const ProgressReporter&) = delete;

  // Counts the work from place done + 1 on: places 1 .. done of a resumed
  // run were computed before it. Precondition: 0 <= done, before place().
  void resumeAfter(int32_t done) { done_ = done; }
  // Notes that place k is finished; redraws the line when one is due.
  // Precondition: done < k <= length.
  void place(int32_t k);
  // Erases the line if one is shown, leaving the cursor at the line's start,
  // and restores the signal handlers it replaced. Allocates nothing, so that
  // a run that ran out of memory can call it.
  void finish();

 private:
  // Returns the share (above 0, at most 1) of the places done + 1 .. length
  // of a run that the places done + 1 .. k take, by the cost of each place.
  // Precondition: 0 <= done < k <= length.
  static double workDone(int64_t done, int64_t k, int64_t length);
  void draw(int32_t k, std::chrono::steady_clock::duration elapsed);
  // Returns the columns the line may take on the terminal as it is now.
  int usableColumns() const;

  // Makes signals erase eraseWidth columns and redraw the size bytes at line
  // while this reporter's line is shown, unless another reporter's line has
  // the signals.
  void keepOnSignals(const char* line, std::size_t size, std::size_t eraseWidth);

  std::optional<platform::Terminal> terminal_;
  int32_t length_;
  int32_t done_ = 0;  // the places computed before this run
  Clock clock_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  std::size_t shownWidth_ = 0;  // columns written on the line now; 0 when none is shown
  bool holdsSignals_ = false;   // whether this reporter's erase handlers are installed
};

}  // namespace calc

#endif  // LONGSQRT_CALC_PROGRESS_H
