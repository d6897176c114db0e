// Tests of reading a run log back: a log cut anywhere resumes to the log of
// an uninterrupted run, and every log that is not what a run writes is
// refused at the right line, for resuming and for checking.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "calc/calculator.h"
#include "calc/digit_loop.h"
#include "calc/log_reader.h"
#include "calc_test_util.h"

namespace {

using namespace calc_test;
using calc::Encoding;
using calc::LineEnd;

// Computes places first .. last of sqrt(no) from texts with the digit loop on
// threads threads; returns their log.
std::string continueRun(int32_t no, int64_t first, int64_t last, bool debug, Encoding e, bool crLf,
                        calc::RootTexts& texts, int threads = 1) {
  std::ostringstream log;
  EXPECT_TRUE(calc::digitLoop(no, static_cast<int32_t>(last), debug, log, texts, nullptr, e, first, threads));
  return crLf ? withCrLf(log.str()) : log.str();
}

// Returns the log of an uninterrupted run of places 1 .. length.
std::string runLog(int32_t no, int64_t length, bool debug, Encoding e = Encoding::big5, bool crLf = false) {
  calc::RootTexts texts;
  std::ostringstream console;
  texts.noScaled = std::to_string(no);
  texts.rootStr = std::to_string(calc::integerPart(no, console, texts.resultText));
  return continueRun(no, 1, length, debug, e, crLf, texts);
}

std::vector<std::string> linesOf(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string withoutCr(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string log;
  for (const std::string& line : lines) log += line + "\n";
  return log;
}

// Returns the number (from 1) of the n-th line after line after that starts with start.
int64_t lineStarting(const std::string& log, const std::string& start, int n = 1, int64_t after = 0) {
  const std::vector<std::string> lines = linesOf(log);
  for (size_t i = static_cast<size_t>(after); i < lines.size(); ++i)
    if (lines[i].rfind(start, 0) == 0 && --n == 0) return static_cast<int64_t>(i + 1);
  return -1;
}

// Returns the line that starts the result line of place k.
std::string resultStart(int32_t no, int64_t k, Encoding e = Encoding::big5) {
  return std::string(calc::texts::kResultPrefix.in(e)) + " sqrt(" + std::to_string(no) + ", " +
         std::to_string(k) + ")";
}

// Returns the byte offsets at which each place's record ends, by its separator.
std::vector<size_t> placeEnds(const std::string& log, bool crLf) {
  const std::string end = std::string(calc::texts::kSeparator) + (crLf ? "\r\n\r\n" : "\n\n");
  std::vector<size_t> ends;
  for (size_t at = log.find(end); at != std::string::npos; at = log.find(end, at + 1))
    ends.push_back(at + end.size());
  return ends;
}

calc::LogReading resume(const std::string& log, const calc::ResumeExpectation& run) {
  std::istringstream in(log);
  return calc::readLogForResume(in, run);
}

calc::LogReading check(const std::string& log) {
  std::istringstream in(log);
  return calc::checkLog(in);
}

std::string describe(const calc::LogReading& r) {
  if (!r.problem) return "no problem";
  return "line " + std::to_string(r.problem->line) + " holds \"" + r.problem->holds + "\", expected " +
         r.problem->expected;
}

TEST(CalcLogReader, ALogCutAnywhereResumesToTheUninterruptedLog) {
  struct Case {
    int32_t no;
    int64_t length;
    bool debug;
    Encoding encoding;
    bool crLf;
  };
  const std::vector<Case> cases = {
      {2, 12, false, Encoding::big5, false},        {99, 8, true, Encoding::big5, false},
      {2147483647, 9, true, Encoding::utf8, false}, {66, 14, false, Encoding::utf8, true},
      {0, 6, true, Encoding::big5, true},           {16, 6, false, Encoding::big5, false},
      {1999999, 10, true, Encoding::utf8, true},
  };
  for (const Case& c : cases) {
    const std::string full = runLog(c.no, c.length, c.debug, c.encoding, c.crLf);
    const std::vector<size_t> ends = placeEnds(full, c.crLf);
    ASSERT_EQ(ends.size(), static_cast<size_t>(c.length));
    // At a record's end, some whole lines into the next place, inside a line.
    std::vector<size_t> cuts = {0, ends[0], ends[2], ends[2] + 1, full.size() - 1, full.size()};
    cuts.push_back(full.find('\n', ends[3] + 40) + 1);
    cuts.push_back((ends[4] + ends[5]) / 2);
    cuts.push_back(full.find('\n', ends[4]));  // a CR LF line without its LF
    for (size_t cut : cuts) {
      const std::string what = std::to_string(c.no) + " cut at " + std::to_string(cut);
      const int64_t places = std::upper_bound(ends.begin(), ends.end(), cut) - ends.begin();
      const calc::LogReading r =
          resume(full.substr(0, cut), {c.no, c.debug, c.encoding, c.crLf ? LineEnd::crLf : LineEnd::lf});
      ASSERT_TRUE(r.ok()) << what << ": " << describe(r);
      EXPECT_EQ(r.places, places) << what;
      EXPECT_EQ(r.cutOffset, places == 0 ? 0 : ends[places - 1]) << what;
      EXPECT_EQ(r.unfinished, cut > r.cutOffset) << what;
      calc::RootTexts texts = r.texts;
      // Continued on 3 threads, the log is still the one of 1.
      const std::string rest = continueRun(c.no, places + 1, c.length, c.debug, c.encoding, c.crLf, texts, 3);
      EXPECT_EQ(full.substr(0, r.cutOffset) + rest, full) << what;
    }
  }
}

// A planted fault: changes log (or what the run expects) and returns the line
// that must be named.
using Plant = std::function<int64_t(std::string& log, calc::ResumeExpectation& run)>;

// Replaces line n (from 1) of log with text, or removes it when remove.
void setLine(std::string& log, int64_t n, const std::string& text, bool remove = false) {
  std::vector<std::string> lines = linesOf(log);
  if (remove) {
    lines.erase(lines.begin() + (n - 1));
  } else {
    lines[static_cast<size_t>(n - 1)] = text;
  }
  log = joined(lines);
}

// Changes the last digit of line n to the next one.
void bumpLastDigit(std::string& log, int64_t n) {
  std::string line = linesOf(log)[static_cast<size_t>(n - 1)];
  line.back() = line.back() == '9' ? '8' : static_cast<char>(line.back() + 1);
  setLine(log, n, line);
}

// The radicand of the planted faults: 2.2360679774997896..., with 9s at places 7, 11 and 12.
constexpr int32_t kNo = 5;

TEST(CalcLogReader, ResumeRefusesAnotherRunsLogAtTheLineThatShowsIt) {
  using namespace calc::texts;
  struct Case {
    const char* name;
    bool debug;
    Plant plant;
  };
  const std::vector<Case> cases = {
      {"other no", false, [](std::string&, calc::ResumeExpectation& run) { return run.no = 2, 1; }},
      {"other no, same root", true, [](std::string&, calc::ResumeExpectation& run) { return run.no = 6, 2; }},
      {"other debug", true, [](std::string&, calc::ResumeExpectation& run) { return run.debug = false, 1; }},
      {"other debug", false, [](std::string&, calc::ResumeExpectation& run) { return run.debug = true, 1; }},
      {"other encoding", true,
       [](std::string& log, calc::ResumeExpectation& run) {
         run.encoding = Encoding::utf8;
         return lineStarting(log, kCase1.big5);
       }},
      {"other line ends", false,
       [](std::string& log, calc::ResumeExpectation&) { return log = withCrLf(log), 1; }},
      {"length below the log's places", false,
       [](std::string& log, calc::ResumeExpectation& run) {
         run.length = 8;
         return lineStarting(log, resultStart(kNo, 9));
       }},
      {"wrong digit in a middle result", false,
       [](std::string& log, calc::ResumeExpectation&) {
         const int64_t n = lineStarting(log, resultStart(kNo, 5));
         return bumpLastDigit(log, n), n;
       }},
      {"wrong digit in a middle result", true,
       [](std::string& log, calc::ResumeExpectation&) {
         const int64_t n = lineStarting(log, resultStart(kNo, 5));
         return bumpLastDigit(log, n), n;
       }},
      {"wrong last root", false,
       [](std::string& log, calc::ResumeExpectation&) {
         const int64_t n = lineStarting(log, resultStart(kNo, 10));
         return bumpLastDigit(log, n), n;
       }},
      {"wrong x in place K", true,
       [](std::string& log, calc::ResumeExpectation&) {
         const int64_t n = lineStarting(log, kXLabel, 1, lineStarting(log, resultStart(kNo, 9)));
         return bumpLastDigit(log, n), n;  // candidate 0 of place 10
       }},
      {"wrong noScaled in place K", true,
       [](std::string& log, calc::ResumeExpectation&) {
         const int64_t n = lineStarting(log, kNoScaledLabel, 1, lineStarting(log, resultStart(kNo, 9)));
         return bumpLastDigit(log, n), n;  // candidate 0 of place 10
       }},
      {"wrong x in place K, a cut place follows", true,
       [](std::string& log, calc::ResumeExpectation&) {
         const int64_t n = lineStarting(log, kXLabel, 1, lineStarting(log, resultStart(kNo, 9)));
         bumpLastDigit(log, n);
         log += "garbage\n";
         return n;
       }},
      {"accepted candidate's x in an earlier place", true,
       [](std::string& log, calc::ResumeExpectation&) {
         const int64_t n = lineStarting(log, kCase1.big5, 1, lineStarting(log, resultStart(kNo, 3))) - 4;
         return bumpLastDigit(log, n), n;  // a case-1 trace follows the accepted candidate's trace
       }},
      {"a limit block's x in an earlier place", false,
       [](std::string& log, calc::ResumeExpectation&) {
         const int64_t n = lineStarting(log, kXLabel);  // the limit block of place 7
         return bumpLastDigit(log, n), n;
       }},
      {"a line the run does not write", false,
       [](std::string& log, calc::ResumeExpectation&) { return setLine(log, 8, "x"), 8; }},
  };
  for (const Case& c : cases) {
    std::string log = runLog(kNo, 10, c.debug);
    calc::ResumeExpectation run{kNo, c.debug, Encoding::big5, LineEnd::lf};
    const int64_t line = c.plant(log, run);
    const calc::LogReading r = resume(log, run);
    ASSERT_TRUE(r.problem) << c.name;
    EXPECT_EQ(r.problem->line, line) << c.name << ": " << describe(r);
    EXPECT_EQ(withoutCr(r.problem->holds), withoutCr(linesOf(log)[line - 1])) << c.name;
  }
}

TEST(CalcLogReader, CheckFindsTheRunFromTheLogItself) {
  struct Case {
    std::string log;
    std::string summary;  // after "log.txt: "
  };
  const std::string data = LONGSQRT_TEST_DATA;
  const std::string debug1 = runLog(2, 7, true, Encoding::utf8);
  const std::vector<Case> cases = {
      {"", "0 whole places"},
      {readFile(data + "/debug1_no2_length2.log"), "no 2, debug 1, Big5, LF, 2 whole places"},
      {readFile(data + "/debug0_no99_length2.log"), "no 99, debug 0, Big5, LF, 2 whole places"},
      {readFile(data + "/debug0_no66_length160.log"), "no 66, debug 0, Big5, LF, 160 whole places"},
      {runLog(2147483647, 30, false, Encoding::utf8, true),
       "no 2147483647, debug 0, UTF-8, CR LF, 30 whole places"},
      {runLog(0, 4, true, Encoding::big5, true), "no 0, debug 1, Big5, CR LF, 4 whole places"},
      {runLog(99, 1, false), "no 99, debug 0, Big5, LF, 1 whole place"},
      {debug1.substr(0, debug1.size() - 40),
       "no 2, debug 1, UTF-8, LF, 6 whole places, then an unfinished place 7 (--resume continues it)"},
      {std::string(calc::texts::kResultPrefix.big5) + " sqrt(5,",
       "no 5, debug 0, Big5, 0 whole places, then an unfinished place 1 (--resume continues it)"},
      {" n = 0, rootStr", "debug 1, 0 whole places, then an unfinished place 1 (--resume continues it)"},
      {" n = 0, rootStrNew= 10\nnoScaled = 2",
       "debug 1, LF, 0 whole places, then an unfinished place 1 (--resume continues it)"},
      {" n = 0, rootStrNew= 10\r\nnoScaled = 200\r\n",
       "no 2, debug 1, CR LF, 0 whole places, then an unfinished place 1 (--resume continues it)"},
  };
  for (const Case& c : cases) {
    const calc::LogReading r = check(c.log);
    EXPECT_TRUE(r.ok()) << c.summary << ": " << describe(r);
    EXPECT_EQ(calc::checkSummary("log.txt", r), "log.txt: " + c.summary);
    EXPECT_EQ(r.bytes, c.log.size()) << c.summary;
    const bool partial = !c.log.empty() && c.log.back() != '\n';
    EXPECT_EQ(r.lines, std::count(c.log.begin(), c.log.end(), '\n') + (partial ? 1 : 0)) << c.summary;
  }
  // Every start of a run's first place is a log that a run writes, though it
  // may end before it shows no, debug or the encoding: with and without
  // traces, a first digit 9 (a limit block first), no 0, a no of ten digits.
  for (const int32_t no : {2, 99, 0, 80, 2147483647, 1000000}) {
    for (const bool debug : {false, true}) {
      for (const Encoding e : {Encoding::big5, Encoding::utf8}) {
        const std::string log = runLog(no, 2, debug, e, no % 2 == 1);
        for (size_t size = 1; size <= log.size(); ++size) {
          const calc::LogReading r = check(log.substr(0, size));
          ASSERT_TRUE(r.ok()) << no << " debug " << debug << ", " << size << " bytes: " << describe(r);
        }
      }
    }
  }
  // Seeded radicands over the whole range, with and without traces.
  std::mt19937 rng(17);
  for (int trial = 0; trial < 40; ++trial) {
    const int32_t no = static_cast<int32_t>(trial % 2 ? rng() % 2147483648u : rng() % 200);
    const calc::LogReading r = check(runLog(no, 1 + rng() % 25, trial % 3 == 0));
    EXPECT_TRUE(r.ok()) << no << ": " << describe(r);
  }
}

TEST(CalcLogReader, CheckNamesThePlantedFaultsLine) {
  using namespace calc::texts;
  using calc::Mismatch;
  struct Case {
    const char* name;
    bool debug;
    std::function<int64_t(std::string&)> plant;
    Mismatch kind = Mismatch::line;
    const char* says = "";  // what the expected line or words hold
  };
  const std::vector<Case> cases = {
      {"wrong digit in a result whose digit is 0", false,
       [](std::string& log) {
         const int64_t n = lineStarting(log, resultStart(kNo, 4));  // sqrt(5) = 2.2360...
         return bumpLastDigit(log, n), n;
       }},
      {"wrong digit in a result", true,
       [](std::string& log) {
         const int64_t n = lineStarting(log, resultStart(kNo, 7));
         return bumpLastDigit(log, n), n;
       }},
      {"a 9 without its limit block", false,
       [](std::string& log) {
         const int64_t n = lineStarting(log, kLimit.big5);
         for (int i = 0; i < 4; ++i) setLine(log, n, "", true);
         return n;
       }},
      {"a limit block where the digit is not 9", false,
       [](std::string& log) {
         const int64_t n = lineStarting(log, resultStart(kNo, 3));
         setLine(log, n,
                 kLimit.big5 + std::string("\n") + kCase2.big5 + "\nnoScaled = 2000000\nx        = 1");
         return n;
       }},
      {"a missing record", false,
       [](std::string& log) {
         const int64_t n = lineStarting(log, resultStart(kNo, 4));
         for (int i = 0; i < 3; ++i) setLine(log, n, "", true);
         return n;
       }},
      {"a missing candidate trace", true,
       [](std::string& log) {
         const int64_t n = lineStarting(log, " n = 1, rootStrNew=", 2);  // in place 2
         for (int i = 0; i < 3; ++i) setLine(log, n, "", true);
         return n;
       }},
      {"wrong x line", true,
       [](std::string& log) {
         const int64_t n = lineStarting(log, kXLabel, 20);
         return bumpLastDigit(log, n), n;
       }},
      {"wrong case-1 x line", true,
       [](std::string& log) {
         const int64_t n = lineStarting(log, kCase1.big5, 3) + 2;
         return bumpLastDigit(log, n), n;
       }},
      {"wrong noScaled line", false,
       [](std::string& log) {
         const int64_t n = lineStarting(log, kNoScaledLabel);  // the limit block of place 7
         return setLine(log, n, linesOf(log)[n - 1] + "0"), n;
       }},
      {"a missing separator", false,
       [](std::string& log) {
         const int64_t n = lineStarting(log, kSeparator, 5);
         return setLine(log, n, "", true), n;
       }},
      {"a missing empty line", true,
       [](std::string& log) {
         const int64_t n = lineStarting(log, kSeparator, 2) + 1;
         return setLine(log, n, "", true), n;
       }},
      {"a truncated line in the middle", true,
       [](std::string& log) {
         const int64_t n = lineStarting(log, kXLabel, 30);
         const std::vector<std::string> lines = linesOf(log);
         size_t at = 0;
         for (int64_t i = 0; i + 1 < n; ++i) at += lines[static_cast<size_t>(i)].size() + 1;
         log.erase(at + 15, lines[static_cast<size_t>(n - 1)].size() - 15 + 1);  // its end and LF
         return n;
       }},
      {"one result line in the other encoding", false,
       [](std::string& log) {
         const int64_t n = lineStarting(log, resultStart(kNo, 9));
         std::string line = linesOf(log)[n - 1];
         return setLine(log, n, kResultPrefix.utf8 + line.substr(strlen(kResultPrefix.big5))), n;
       },
       Mismatch::encoding},
      {"one line with CR LF", false,
       [](std::string& log) { return setLine(log, 5, kSeparator + std::string("\r")), 5; },
       Mismatch::lineEnd},
      {"a wrong digit in an unfinished last line that holds the whole result", false,
       [](std::string& log) {
         const int64_t n = lineStarting(log, resultStart(kNo, 4));
         bumpLastDigit(log, n);
         log.resize(log.find('\n', log.find(resultStart(kNo, 4))));
         return n;
       }},
      {"a first line no run writes", true, [](std::string& log) { return setLine(log, 1, "hello"), 1; },
       Mismatch::words, "in Big5 or UTF-8"},
      {"a first line no run writes, with traces", true,
       [](std::string& log) { return setLine(log, 1, " n = 0, rootStrNew= 2x"), 1; }, Mismatch::words,
       "in Big5 or UTF-8"},
      {"a place number out of order", false,
       [](std::string& log) {
         const int64_t n = lineStarting(log, resultStart(kNo, 6));
         std::string line = linesOf(log)[n - 1];
         return setLine(log, n, line.replace(line.find(", 6)"), 4, ", 7)")), n;
       }},
  };
  for (const Case& c : cases) {
    std::string log = runLog(kNo, 12, c.debug);
    const int64_t line = c.plant(log);
    const calc::LogReading r = check(log);
    ASSERT_TRUE(r.problem) << c.name;
    EXPECT_EQ(r.problem->line, line) << c.name << ": " << describe(r);
    EXPECT_EQ(r.problem->holds, linesOf(log)[line - 1]) << c.name;
    EXPECT_EQ(r.problem->kind, c.kind) << c.name;
    EXPECT_NE(r.problem->expected.find(c.says), std::string::npos) << c.name << ": " << r.problem->expected;
    if (r.problem->kind == calc::Mismatch::line) {
      EXPECT_NE(r.problem->expected, r.problem->holds) << c.name;
    }
  }
}

}  // namespace
