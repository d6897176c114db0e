// Tests of the calculator driven in memory: the answers it accepts and
// refuses, the integer-part search, and a log that fails mid-run.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <filesystem>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "calc/calculator.h"
#include "calc_test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace calc_test;
using namespace calc::texts;

struct Outcome {
  int status = -1;
  std::string out, err, log;
  int waits = 0;
  calc::RootTexts texts;
};

// Runs the dialogue on the answers with the log at logPath.
Outcome runDialogue(const std::string& answers, const std::string& logPath) {
  std::istringstream in(answers);
  std::ostringstream out, err;
  Outcome o;
  calc::Console console{in, out, err, [&o] { ++o.waits; }, false};
  calc::ProgramState state;
  o.status = calc::run(state, console, logPath.c_str());
  o.out = out.str();
  o.err = err.str();
  o.log = readFile(logPath);
  o.texts = state.texts;
  return o;
}

TEST(CalcDialogue, RefusesUnusableAnswersBeforeComputing) {
  struct Case {
    const char* answers;
    int asked;  // prompts written before the refusal
    const char* message;
  };
  const std::vector<Case> cases = {
      {"", 1, kBadDebug},
      {"x\n", 1, kBadDebug},
      {"2\n2\n2\n", 1, kBadDebug},
      {"-1\n", 1, kBadDebug},
      {"1.5\n2\n", 1, kBadDebug},
      {"1", 2, kBadNo},
      {"0\nabc\n", 2, kBadNo},
      {"0\n2147483648\n", 2, kBadNo},
      {"0\n-1\n2\n", 2, kBadNo},
      {"0\n-2147483648\n", 2, kBadNo},
      {"0\n12abc\n2\n", 2, kBadNo},
      {"0\n2", 3, kBadLength},
      {"0\n2\nx\n", 3, kBadLength},
      {"0\n2\n2147483648\n", 3, kBadLength},
      {"0\n2\n-2147483649\n", 3, kBadLength},
      {"0\n2\n3.5\n", 3, kBadLength},
  };
  const std::string asked[] = {"", kAskDebug, std::string(kAskDebug) + kAskNo, prompts()};
  for (const Case& c : cases) {
    TempDir dir;
    std::ofstream(dir.log()) << "left by an earlier run\n";
    const Outcome o = runDialogue(c.answers, dir.log());
    EXPECT_EQ(o.status, 1) << c.answers;
    EXPECT_EQ(o.out, asked[c.asked]) << c.answers;
    EXPECT_EQ(o.err, std::string(c.message) + "\n") << c.answers;
    EXPECT_EQ(o.log, "") << c.answers;
    EXPECT_EQ(o.waits, 1) << c.answers;
  }
}

TEST(CalcDialogue, AcceptsWhatTheQuestionsAllow) {
  struct Case {
    const char* answers;
    int32_t no;
    int64_t places;
  };
  const std::vector<Case> cases = {
      {"0 2 2", 2, 2},  // one line, no final line end
      {"  1\n\n 2147483647\t1\n", 2147483647, 1},
      {"+1\n+9\n3\n", 9, 3},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const Outcome o = runDialogue(c.answers, dir.log());
    EXPECT_EQ(o.status, 0) << c.answers;
    EXPECT_EQ(o.out, successConsole(c.no)) << c.answers;
    EXPECT_EQ(o.err, "") << c.answers;
    EXPECT_EQ(o.waits, 1) << c.answers;
    EXPECT_EQ(o.texts.resultText, resultTextOf(c.no, c.places)) << c.answers;
  }
}

TEST(CalcDialogue, UnopenableLogIsRefusedBeforeAnyQuestion) {
  TempDir dir;
  fs::create_directory(dir.log());
  const Outcome o = runDialogue("0\n2\n2\n", dir.log());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, std::string(kLogOpenFailed) + "\n");
  EXPECT_EQ(o.waits, 1);
}

TEST(CalcIntegerPart, FindsTheLargestRootNotAboveNo) {
  struct Case {
    int32_t no;
    int32_t root;
  };
  for (const Case& c : std::vector<Case>{{0, 0},
                                         {1, 1},
                                         {2, 1},
                                         {3, 1},
                                         {4, 2},
                                         {99, 9},
                                         {100, 10},
                                         {1073741823, 32767},
                                         {1073741824, 32768},
                                         {2147395599, 46339},
                                         {2147395600, 46340},
                                         {2147483647, 46340}}) {
    std::ostringstream out;
    std::string resultText = "stale";
    EXPECT_EQ(calc::integerPart(c.no, out, resultText), c.root) << c.no;
    EXPECT_EQ(out.str(), std::string(kInput) + std::to_string(c.no) + "\n") << c.no;
    EXPECT_EQ(resultText, std::to_string(c.root) + ".") << c.no;
  }
  std::ostringstream out;
  std::string resultText = "stale";
  EXPECT_EQ(calc::integerPart(-1, out, resultText), -1);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(resultText, "stale");
}

// A stream buffer that accepts limit bytes and then fails every write.
class FailingBuffer : public std::streambuf {
 public:
  explicit FailingBuffer(size_t limit) : limit_(limit) {}
  std::string written;

 protected:
  int_type overflow(int_type c) override {
    if (written.size() >= limit_ || traits_type::eq_int_type(c, traits_type::eof()))
      return traits_type::eof();
    written += traits_type::to_char_type(c);
    return c;
  }

 private:
  size_t limit_;
};

TEST(CalcDigitLoop, StopsInThePlaceWhoseLogWriteFailed) {
  // Without traces: limit cuts the log inside record p + 1 (or right after p),
  // so the loop computes p + 1 places and gives up.
  const std::string plain = expectedLog(2, 8);
  for (size_t p = 0; p < 4; ++p) {
    for (const size_t extra : {size_t{0}, size_t{7}}) {
      const size_t limit = expectedLog(2, static_cast<int64_t>(p)).size() + extra;
      FailingBuffer buffer(limit);
      std::ostream log(&buffer);
      calc::RootTexts texts{"2", "1", "1."};
      EXPECT_FALSE(calc::digitLoop(2, 50, false, log, texts)) << limit;
      EXPECT_EQ(texts.resultText, resultTextOf(2, static_cast<int64_t>(p + 1))) << limit;
      EXPECT_EQ(buffer.written, plain.substr(0, limit));
    }
  }
  // With traces: the loop never gets past the place it failed in.
  const std::string traced = readFile(std::string(LONGSQRT_TEST_DATA) + "/debug1_no2_length2.log");
  for (const size_t limit : {size_t{0}, size_t{30}, size_t{400}, traced.size() - 1}) {
    FailingBuffer buffer(limit);
    std::ostream log(&buffer);
    calc::RootTexts texts{"2", "1", "1."};
    EXPECT_FALSE(calc::digitLoop(2, 50, true, log, texts)) << limit;
    EXPECT_LE(texts.resultText.size(), 4u) << limit;
    EXPECT_EQ(buffer.written, traced.substr(0, limit));
  }
}

}  // namespace
