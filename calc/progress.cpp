// The progress line of long runs: when to draw it, what it says, how it is cut
// to the terminal and erased.
#include "calc/progress.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <utility>

#include "calc/platform/platform.h"

namespace calc {

namespace {

// Place k costs about k^2 + 400k: its candidates square and rebuild k-digit values (k^2) at a fixed cost per
// digit (k). Timing every place of no 2 to 4000 places fit 1.16e-9 k^2 + 4.9e-7 k seconds.
constexpr double kLinearCost = 400;

// Room for the "^C" a terminal echoes when Ctrl-C is typed: the erase blanks
// two columns more than the line takes.
constexpr int kEchoColumns = 2;
// The columns at the right that a line leaves free (see usableColumns).
constexpr int kFreeColumns = 1 + kEchoColumns;

// Estimates beyond this many seconds (99999:59:59) are shown as this bound.
constexpr double kLongestEstimate = 99999.0 * 3600 + 3599;

// Returns s seconds as H:MM:SS.
std::string clockText(long long s) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

// Writes "\r", width blanks and "\r" to os, from a fixed run of blanks.
void eraseLine(std::ostream& os, std::size_t width) {
  static constexpr char kBlanks[] = "                                ";
  os.put('\r');
  for (std::size_t left = width; left > 0;) {
    const std::size_t n = std::min(left, sizeof kBlanks - 1);
    os.write(kBlanks, static_cast<std::streamsize>(n));
    left -= n;
  }
  os.put('\r');
}

// The reporter whose line the signals keep: at most one at a time.
const ProgressReporter* signalsKeptFor = nullptr;

}  // namespace

ProgressReporter::ProgressReporter(std::optional<platform::Terminal> terminal, int32_t length, Clock clock)
    : terminal_(std::move(terminal)), length_(length), clock_(std::move(clock)) {
  if (terminal_) start_ = clock_();
}

double ProgressReporter::workDone(int64_t done, int64_t k, int64_t length) {
  assert(0 <= done && done < k && k <= length);
  // The sum of j^2 + c*j over j = 1..k is k(k+1)(2k+1+3c)/6.
  const auto total = [](double n) { return n * (n + 1) * (2 * n + 1 + 3 * kLinearCost); };
  const double before = total(static_cast<double>(done));
  return (total(static_cast<double>(k)) - before) / (total(static_cast<double>(length)) - before);
}

void ProgressReporter::place(int32_t k) {
  assert(done_ < k && k <= length_);
  if (!terminal_) return;
  const auto now = clock_();
  if (now - start_ < kQuietPeriod) return;
  if (shownWidth_ != 0 && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  draw(k, now - start_);
}

int ProgressReporter::usableColumns() const {
  int columns = terminal_->columns ? terminal_->columns() : 0;
  if (columns <= 0) columns = kUnknownColumns;
  // Writing in the last column makes some terminals wrap at once, and an
  // echoed "^C" must not wrap either: the erase could not reach the line.
  return columns - kFreeColumns;
}

void ProgressReporter::draw(int32_t k, std::chrono::steady_clock::duration elapsed) {
  const double done = workDone(done_, k, length_);
  const double seconds = std::chrono::duration<double>(elapsed).count();
  char head[96];
  std::snprintf(head, sizeof head, "place %ld of %ld, %d%% of the work, ", static_cast<long>(k),
                static_cast<long>(length_), static_cast<int>(done * 100));
  const double left = seconds * (1 - done) / done;
  std::string line = head + clockText(static_cast<long long>(seconds));
  line += left > kLongestEstimate ? ", more than " + clockText(static_cast<long long>(kLongestEstimate))
                                  : ", about " + clockText(std::llround(left));
  line += " left";

  const int usable = usableColumns();
  if (usable <= 0) return;
  line.resize(std::min(line.size(), static_cast<std::size_t>(usable)));
  // Blank out what is left of a longer earlier line, within the width.
  const std::size_t width = std::max(line.size(), std::min(shownWidth_, static_cast<std::size_t>(usable)));
  line.resize(width, ' ');
  keepOnSignals(line.data(), line.size(), width + kEchoColumns);
  // One insertion, so that a signal never finds half a draw. The cursor goes
  // back to the line's start: a terminal that wraps long lines anew when it
  // narrows then keeps it at the start of the wrapped line, from where a
  // resize clears every row of it.
  terminal_->stream << ('\r' + line + '\r') << std::flush;
  shownWidth_ = width;
}

void ProgressReporter::finish() {
  if (shownWidth_ != 0) {
    // From here on a continue or a resize has nothing to draw again.
    if (holdsSignals_) keepOnSignals("", 0, shownWidth_ + kEchoColumns);
    const int usable = usableColumns();
    eraseLine(terminal_->stream, std::min(shownWidth_, static_cast<std::size_t>(std::max(usable, 0))));
    terminal_->stream.flush();
    shownWidth_ = 0;
  }
  if (holdsSignals_) {
    platform::stopKeepingLine();
    holdsSignals_ = false;
    signalsKeptFor = nullptr;
  }
}

void ProgressReporter::keepOnSignals(const char* line, std::size_t size, std::size_t eraseWidth) {
  if (terminal_->fd < 0 || (!holdsSignals_ && signalsKeptFor != nullptr)) return;
  platform::keepLineThroughSignals(terminal_->fd, line, size, eraseWidth, kFreeColumns);
  holdsSignals_ = true;
  signalsKeptFor = this;
}

}  // namespace calc
