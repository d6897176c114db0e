// A one-line progress display for long runs, shown on a terminal's standard
// error and erased before the run's closing message.
#ifndef LONGSQRT_CALC_PROGRESS_H
#define LONGSQRT_CALC_PROGRESS_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>

namespace calc {

// Observes the place numbers of a run and keeps one line on a terminal up to
// date with the place reached, the percentage and the elapsed time. It draws
// nothing during the first second, redraws at most every kRedrawInterval, and
// never writes anything when its stream is not a terminal.
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

  // Starts timing a run of length places; writes to os only when isTerminal.
  ProgressReporter(std::ostream& os, bool isTerminal, int32_t length, Clock clock = steadyClock);
  // Erases the line if it is still shown.
  ~ProgressReporter() { finish(); }
  ProgressReporter(const ProgressReporter&) = delete;
  ProgressReporter& operator=(const ProgressReporter&) = delete;

  // Notes that place k is finished; redraws the line when one is due.
  void place(int32_t k);
  // Erases the line if one is shown, leaving the cursor at the line's start.
  void finish();

 private:
  void draw(int32_t k, std::chrono::steady_clock::duration elapsed);

  std::ostream& os_;
  bool isTerminal_;
  int32_t length_;
  Clock clock_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  std::size_t shownWidth_ = 0;  // characters on the line now; 0 when none is shown
};

}  // namespace calc

#endif  // LONGSQRT_CALC_PROGRESS_H
