// Tests of the progress line: when it appears, how often it is redrawn, what
// it says, that it is erased, and that nothing is written off a terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "calc/progress.h"

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
  calc::ProgressReporter progress(err, true, 200, clock.function());
  for (const Step& s : steps) {
    clock.now = TimePoint{} + milliseconds(s.ms);
    const std::string before = err.str();
    progress.place(s.place);
    EXPECT_EQ(err.str() != before, s.drawn) << s.ms;
  }
  EXPECT_EQ(err.str(),
            "\rplace 3 of 200 (1%), 0:00:01"
            "\rplace 6 of 200 (3%), 0:00:01"
            "\rplace 8 of 200 (4%), 0:00:04");
}

TEST(CalcProgress, FinishErasesTheWidestLineShown) {
  FakeClock clock;
  std::ostringstream err;
  calc::ProgressReporter progress(err, true, 20000, clock.function());
  clock.now += std::chrono::hours(2) + milliseconds(61500);
  progress.place(19999);
  clock.now += milliseconds(500);
  progress.place(20000);
  const std::string wide = "place 19999 of 20000 (99%), 2:01:01";
  const std::string done = "place 20000 of 20000 (100%), 2:01:02";
  ASSERT_EQ(err.str(), "\r" + wide + "\r" + done);
  progress.finish();
  EXPECT_EQ(err.str(), "\r" + wide + "\r" + done + "\r" + std::string(done.size(), ' ') + "\r");
  progress.finish();  // nothing left to erase
  EXPECT_EQ(err.str().size(), 2 * 1 + wide.size() + done.size() + 2 + done.size());
}

TEST(CalcProgress, ShorterLineBlanksTheRestOfTheLongerOne) {
  FakeClock clock;
  std::ostringstream err;
  calc::ProgressReporter progress(err, true, 100000, clock.function());
  clock.now += std::chrono::seconds(1);
  progress.place(99999);
  clock.now += std::chrono::seconds(1);
  progress.place(5);
  EXPECT_EQ(err.str(),
            "\rplace 99999 of 100000 (99%), 0:00:01"
            "\rplace 5 of 100000 (0%), 0:00:02     ");
}

TEST(CalcProgress, WritesNothingOffATerminal) {
  FakeClock clock;
  std::ostringstream err;
  int reads = 0;
  {
    calc::ProgressReporter progress(err, false, 10, [&] {
      ++reads;
      return clock.now;
    });
    for (int32_t k = 1; k <= 10; ++k) {
      clock.now += std::chrono::seconds(5);
      progress.place(k);
    }
    progress.finish();
  }
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(reads, 0);
}

}  // namespace
