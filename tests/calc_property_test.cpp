// Property tests of the digit loop: for seeded random radicands over the whole
// range, every result record's root is floor(sqrt(no * 100^k)) by GMP, and
// every candidate trace shows no * 100^k and the candidate's exact square.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "calc/calculator.h"
#include "calc/digit_loop.h"
#include "calc_test_util.h"

namespace {

using namespace calc_test;
using namespace calc::texts;

// Returns the lines of text, without their line feeds.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Computes length places of sqrt(no) in memory; returns the log.
std::string computeLog(int32_t no, int32_t length, bool debug, calc::RootTexts& texts) {
  std::ostringstream console, log;
  texts.noScaled = std::to_string(no);
  texts.rootStr = std::to_string(calc::integerPart(no, console, texts.resultText));
  EXPECT_TRUE(calc::digitLoop(no, length, debug, log, texts));
  return log.str();
}

// Returns a radicand: mostly uniform over 0 .. 2147483647, sometimes a square
// or a neighbour of one, where the digit decisions are closest.
int32_t randomRadicand(std::mt19937& rng) {
  std::uniform_int_distribution<int32_t> any(0, 2147483647);
  std::uniform_int_distribution<int32_t> root(0, 46340);
  std::uniform_int_distribution<int32_t> near(-1, 1);
  switch (rng() % 4) {
    case 0: {
      const int64_t square = static_cast<int64_t>(root(rng)) * root(rng) % 2147483647;
      return static_cast<int32_t>(std::max<int64_t>(0, square + near(rng)));
    }
    case 1:
      return static_cast<int32_t>(rng() % 1000);
    default:
      return any(rng);
  }
}

TEST(CalcDigitLoopProperty, EveryResultRecordHoldsTheTruncatedRoot) {
  std::mt19937 rng(20240607);
  for (int trial = 0; trial < 300; ++trial) {
    const int32_t no = randomRadicand(rng);
    const int32_t length = static_cast<int32_t>(rng() % 40);
    calc::RootTexts texts;
    const std::string log = computeLog(no, length, false, texts);
    const std::string what = std::to_string(no) + " length " + std::to_string(length);
    ASSERT_EQ(log, expectedLog(no, length)) << what;
    EXPECT_EQ(texts.rootStr, scaledRoot(no, length).get_str()) << what;
    EXPECT_EQ(texts.noScaled, std::to_string(no) + std::string(2 * static_cast<size_t>(length), '0')) << what;
  }
}

TEST(CalcDigitLoopProperty, TracesShowScaledRadicandAndExactSquares) {
  std::mt19937 rng(7);
  const std::string rootLabel = kTraceRootStrNew;
  for (int trial = 0; trial < 40; ++trial) {
    const int32_t no = randomRadicand(rng);
    const int32_t length = static_cast<int32_t>(1 + rng() % 12);
    calc::RootTexts texts;
    const std::vector<std::string> lines = linesOf(computeLog(no, length, true, texts));
    int64_t place = 1;
    size_t traces = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].rfind(kResultPrefix.big5, 0) == 0) ++place;
      if (lines[i].rfind(kTraceN, 0) != 0) continue;
      ++traces;
      ASSERT_LT(i + 2, lines.size());
      const std::string candidate = lines[i].substr(lines[i].find(rootLabel) + rootLabel.size());
      const mpz_class x(candidate);
      const mpz_class scaled =
          mpz_class(std::to_string(no) + std::string(2 * static_cast<size_t>(place), '0'));
      EXPECT_EQ(lines[i + 1], std::string(kNoScaledLabel) + scaled.get_str()) << no << " place " << place;
      EXPECT_EQ(lines[i + 2], std::string(kXLabel) + mpz_class(x * x).get_str()) << no << " place " << place;
    }
    // Each place tries its candidates 0 .. d + 1, or all ten when its digit is 9.
    size_t expectedTraces = 0;
    for (int64_t k = 1; k <= length; ++k) {
      const int digit = resultTextOf(no, k).back() - '0';
      expectedTraces += digit == 9 ? 10 : static_cast<size_t>(digit) + 2;
    }
    EXPECT_EQ(traces, expectedTraces) << no;
    EXPECT_EQ(texts.resultText, resultTextOf(no, length)) << no;
  }
}

}  // namespace
