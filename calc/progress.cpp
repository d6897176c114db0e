// The progress line of long runs: when to draw it, what it says, how it is erased.
#include "calc/progress.h"

#include <cstdio>
#include <ostream>
#include <string>
#include <utility>

namespace calc {

ProgressReporter::ProgressReporter(std::ostream& os, bool isTerminal, int32_t length, Clock clock)
    : os_(os), isTerminal_(isTerminal), length_(length), clock_(std::move(clock)) {
  if (isTerminal_) start_ = clock_();
}

void ProgressReporter::place(int32_t k) {
  if (!isTerminal_) return;
  const auto now = clock_();
  if (now - start_ < kQuietPeriod) return;
  if (shownWidth_ != 0 && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  draw(k, now - start_);
}

void ProgressReporter::draw(int32_t k, std::chrono::steady_clock::duration elapsed) {
  const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  const long long percent = length_ > 0 ? static_cast<long long>(k) * 100 / length_ : 100;
  char line[96];
  int width =
      std::snprintf(line, sizeof line, "place %ld of %ld (%lld%%), %lld:%02lld:%02lld", static_cast<long>(k),
                    static_cast<long>(length_), percent, seconds / 3600, seconds / 60 % 60, seconds % 60);
  if (width < 0) return;
  std::string text = "\r";
  text += line;
  // Blank out what is left of a longer earlier line.
  if (static_cast<std::size_t>(width) < shownWidth_) text.append(shownWidth_ - width, ' ');
  os_ << text << std::flush;
  if (static_cast<std::size_t>(width) > shownWidth_) shownWidth_ = static_cast<std::size_t>(width);
}

void ProgressReporter::finish() {
  if (shownWidth_ == 0) return;
  os_ << '\r' << std::string(shownWidth_, ' ') << '\r' << std::flush;
  shownWidth_ = 0;
}

}  // namespace calc
