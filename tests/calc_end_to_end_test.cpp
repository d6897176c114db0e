// Runs the built longsqrt in a scratch folder with piped answers and checks
// every byte it writes to standard output, standard error and log.txt.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "calc/texts.h"
#include "calc_test_util.h"
#include "terminal_util.h"

namespace {

namespace fs = std::filesystem;
using namespace calc_test;
using namespace calc::texts;
using namespace terminal_test;

struct Outcome {
  int status = -1;
  std::string out, err, log;
};

// Runs the program in dir with answers piped to its standard input.
Outcome runProgram(const TempDir& dir, const std::string& answers) {
  std::ofstream(dir.path / "answers.txt", std::ios::binary) << answers;
  const std::string command =
      "cd '" + dir.path.string() + "' && cat answers.txt | '" LONGSQRT_EXE "' > stdout.txt 2> stderr.txt";
  const int raw = std::system(command.c_str());
  Outcome o;
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  o.out = readFile((dir.path / "stdout.txt").string());
  o.err = readFile((dir.path / "stderr.txt").string());
  o.log = readFile((dir.path / "log.txt").string());
  return o;
}

TEST(CalcEndToEnd, WorkedExamplesMatchGoldenFiles) {
  struct Case {
    const char* answers;
    const char* golden;
  };
  for (const Case& c : {Case{"1\n2\n2\n", "debug1_no2_length2"}, Case{"0\n99\n2\n", "debug0_no99_length2"}}) {
    TempDir dir;
    const Outcome o = runProgram(dir, c.answers);
    const std::string golden = std::string(LONGSQRT_TEST_DATA) + "/" + c.golden;
    EXPECT_EQ(o.status, 0) << c.golden;
    EXPECT_EQ(o.out, readFile(golden + ".stdout")) << c.golden;
    EXPECT_EQ(o.log, readFile(golden + ".log")) << c.golden;
    EXPECT_EQ(o.err, "") << c.golden;
  }
}

TEST(CalcEndToEnd, EdgeCasesLogEveryPlace) {
  struct Case {
    int32_t no;
    const char* length;  // as typed
    int64_t places;
    const char* lastResult;  // "" when no place is computed
  };
  const std::vector<Case> cases = {
      {16, "2", 2, "4.00"},   // exact square: every digit 0 via case 1
      {0, "3", 3, "0.000"},   // texts of several zeros
      {1, "2", 2, "1.00"},    //
      {8, "2", 2, "2.82"},    // 8 accepted at n = 9
      {99, "3", 3, "9.949"},  // 9 through the limit block
      {1073741823, "6", 6, "32767.999984"},
      {1073741824, "4", 4, "32768.0000"},
      {2147483647, "150", 150, ""},  // integer part 46340, values far past 32 bits
      {2, "0", 0, ""},               // no place, empty log
      {2, "-5", 0, ""},              //
      {2, "-2147483648", 0, ""},     //
  };
  for (const Case& c : cases) {
    TempDir dir;
    const Outcome o = runProgram(dir, "0\n" + std::to_string(c.no) + "\n" + c.length + "\n");
    const std::string what = std::to_string(c.no) + " length " + c.length;
    EXPECT_EQ(o.status, 0) << what;
    EXPECT_EQ(o.out, successConsole(c.no)) << what;
    EXPECT_EQ(o.err, "") << what;
    EXPECT_EQ(o.log, expectedLog(c.no, c.places)) << what;
    if (*c.lastResult != '\0') {
      EXPECT_EQ(resultTextOf(c.no, c.places), c.lastResult) << what;
    }
  }
  EXPECT_EQ(resultTextOf(2147483647, 3), "46340.950");
}

TEST(CalcEndToEnd, SecondRunTruncatesTheLog) {
  TempDir dir;
  ASSERT_EQ(runProgram(dir, "1\n2\n5\n").status, 0);
  const Outcome second = runProgram(dir, "0\n3\n1\n");
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.log, expectedLog(3, 1));
}

TEST(CalcEndToEnd, RefusalsAndLogFaultsExitWithStatus1) {
  struct Case {
    const char* name;
    const char* answers;
    const char* logTarget;  // what log.txt is before the run: "" none, "dir", or a symlink target
    std::string out;
    std::string err;
  };
  const std::string computing = prompts() + kComputing + "\n" + kInput + "2\n";
  const std::vector<Case> cases = {
      {"bad no", "0\nabc\n2\n", "", std::string(kAskDebug) + kAskNo, std::string(kBadNo) + "\n"},
      {"negative no", "0\n-4\n2\n", "", std::string(kAskDebug) + kAskNo, std::string(kBadNo) + "\n"},
      {"log is a folder", "0\n2\n2\n", "dir", "", std::string(kLogOpenFailed) + "\n"},
      {"full disk", "0\n2\n2\n", "/dev/full", computing, std::string(kLogWriteFailed) + "\n"},
      {"full disk, traces", "1\n2\n2\n", "/dev/full", computing, std::string(kLogWriteFailed) + "\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (std::string(c.logTarget) == "dir") fs::create_directory(dir.path / "log.txt");
    if (c.logTarget[0] == '/') fs::create_symlink(c.logTarget, dir.path / "log.txt");
    const Outcome o = runProgram(dir, c.answers);
    EXPECT_EQ(o.status, 1) << c.name;
    EXPECT_EQ(o.out, c.out) << c.name;
    EXPECT_EQ(o.err, c.err) << c.name;
    EXPECT_EQ(o.log, "") << c.name;
  }
  // Nothing to write: a full disk does not spoil a run of no places.
  TempDir dir;
  fs::create_symlink("/dev/full", dir.path / "log.txt");
  const Outcome o = runProgram(dir, "0\n2\n0\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, successConsole(2));
}

TEST(CalcEndToEnd, TerminalWaitTakesOneKeyAndRestoresTheTerminal) {
  const tcflag_t modes = ICANON | ECHO;
  for (const bool interrupt : {false, true}) {
    TempDir dir;
    Terminal t;
    if (!t.ok()) GTEST_SKIP() << "no pseudo-terminal available";
    termios before;
    ASSERT_EQ(tcgetattr(t.slave, &before), 0);
    ASSERT_EQ(before.c_lflag & modes, modes);

    ChildGuard child{startOnTerminal(t, dir.path.string(), LONGSQRT_EXE)};
    ASSERT_GT(child.pid, 0);
    ASSERT_TRUE(t.type("0\n2\n1\n"));
    std::string seen;
    const bool prompted = readUntil(t.master, kPressAnyKey, seen);
    EXPECT_TRUE(prompted) << seen;
    EXPECT_NE(seen.find(kFinished), std::string::npos);
    // The wait takes single keys, unechoed; only then does a key count.
    EXPECT_TRUE(prompted && awaitModes(t.slave, modes, 0));
    ASSERT_TRUE(t.type(interrupt ? "\x03" : "k"));

    const int status = child.wait();
    if (interrupt) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    termios after;
    ASSERT_EQ(tcgetattr(t.slave, &after), 0);
    EXPECT_EQ(after.c_lflag & modes, modes) << (interrupt ? "interrupted" : "key pressed");
    EXPECT_EQ(readFile((dir.path / "log.txt").string()), expectedLog(2, 1));
  }
}

}  // namespace

#endif  // _WIN32
