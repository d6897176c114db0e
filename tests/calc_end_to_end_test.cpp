// Runs the built longsqrt in a scratch folder with piped answers and checks
// every byte it writes to standard output, standard error and log.txt.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

// Runs the program in dir with args and the answers piped to its standard
// input; redirect says where its standard streams go.
Outcome runProgram(const TempDir& dir, const std::string& answers, const std::string& args = "",
                   const std::string& redirect = "> stdout.txt 2> stderr.txt") {
  std::ofstream(dir.path / "answers.txt", std::ios::binary) << answers;
  const std::string command = "cd '" + dir.path.string() + "' && cat answers.txt | " +
                              shellCommandOf(LONGSQRT_EXE) + " " + args + " " + redirect;
  const int raw = std::system(command.c_str());
  Outcome o;
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  o.out = readFile((dir.path / "stdout.txt").string());
  o.err = readFile((dir.path / "stderr.txt").string());
  o.log = readFile((dir.path / "log.txt").string());
  return o;
}

TEST(CalcEndToEnd, WorkedExamplesMatchGoldenFilesInBothEncodings) {
  struct Case {
    const char* answers;
    const char* golden;
  };
  // The third is long enough for the vector forms of the limb loops.
  for (const Case& c : {Case{"1\n2\n2\n", "debug1_no2_length2"}, Case{"0\n99\n2\n", "debug0_no99_length2"},
                        Case{"0\n66\n160\n", "debug0_no66_length160"}}) {
    for (const bool utf8 : {false, true}) {
      // --utf8 writes exactly what iconv makes of the Big5 run's bytes.
      const auto expect = [utf8](const std::string& big5) { return utf8 ? toUtf8(big5) : big5; };
      TempDir dir;
      const Outcome o = runProgram(dir, c.answers, utf8 ? "--utf8" : "");
      const std::string golden = std::string(LONGSQRT_TEST_DATA) + "/" + c.golden;
      const std::string what = std::string(c.golden) + (utf8 ? " --utf8" : "");
      EXPECT_EQ(o.status, 0) << what;
      EXPECT_EQ(o.out, expect(readFile(golden + ".stdout"))) << what;
      EXPECT_EQ(o.log, expect(readFile(golden + ".log"))) << what;
      EXPECT_EQ(o.err, "") << what;
    }
  }
}

TEST(CalcEndToEnd, EdgeCasesLogEveryPlace) {
  struct Case {
    int32_t no;
    const char* length;  // as typed
    int64_t places;
  };
  const std::vector<Case> cases = {
      {16, "2", 2},              // exact square: every digit 0 via case 1
      {0, "3", 3},               // texts of several zeros
      {1, "2", 2},               //
      {8, "2", 2},               // 8 accepted at n = 9
      {99, "3", 3},              // 9 through the limit block
      {1073741823, "6", 6},      //
      {1073741824, "4", 4},      //
      {2147483647, "150", 150},  // integer part 46340, values far past 32 bits
      {2, "0", 0},               // no place, empty log
      {2, "-5", 0},              //
      {2, "-2147483648", 0},     //
  };
  for (const Case& c : cases) {
    TempDir dir;
    const Outcome o = runProgram(dir, "0\n" + std::to_string(c.no) + "\n" + c.length + "\n");
    const std::string what = std::to_string(c.no) + " length " + c.length;
    EXPECT_EQ(o.status, 0) << what;
    EXPECT_EQ(o.out, successConsole(c.no)) << what;
    EXPECT_EQ(o.err, "") << what;
    EXPECT_EQ(o.log, expectedLog(c.no, c.places)) << what;
  }
}

TEST(CalcEndToEnd, SecondRunTruncatesTheLog) {
  TempDir dir;
  ASSERT_EQ(runProgram(dir, "1\n2\n5\n").status, 0);
  const Outcome second = runProgram(dir, "0\n3\n1\n");
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.log, expectedLog(3, 1));
}

TEST(CalcEndToEnd, ClosedStreamsFullDisksAndBadArgumentsLoseNothing) {
  struct Case {
    const char* name;
    const char* args;
    const char* answers;
    const char* redirect;
    const char* logBefore;  // "": none, "/dev/full": a link to it, else the log's bytes
    int status;
    std::string out, err, log;
  };
  const std::string kept = "left by an earlier run\n";
  const std::string computing = prompts() + kComputing.big5 + "\n" + kInput + "2\n";
  const std::string noSpace = std::string(kLogWriteFailed.big5) + ": " + std::strerror(ENOSPC) + "\n";
  const char* plain = "> stdout.txt 2> stderr.txt";
  const std::vector<Case> cases = {
      {"full disk", "", "0\n2\n2\n", plain, "/dev/full", 1, computing, noSpace, ""},
      {"full disk, traces", "", "1\n2\n2\n", plain, "/dev/full", 1, computing, noSpace, ""},
      {"full disk, no place to write", "", "0\n2\n0\n", plain, "/dev/full", 0, successConsole(2), "", ""},
      // A closed standard stream never lets the console's texts into the log.
      {"standard output closed", "", "0\n2\n3\n", ">&- 2> stderr.txt", "", 0, "", "", expectedLog(2, 3)},
      {"standard error closed", "", "0\nx\n", "> stdout.txt 2>&-", kept.c_str(), 1,
       std::string(kAskDebug.big5) + kAskNo.big5, "", kept},
      {"standard input closed", "", "0\n2\n3\n", "<&- > stdout.txt 2> stderr.txt", kept.c_str(), 1,
       kAskDebug.big5, std::string(kEndedBeforeDebug.big5) + "\n", kept},
      {"unknown argument", "--bogus", "0\n2\n3\n", plain, kept.c_str(), 2, "",
       "longsqrt: unknown argument '--bogus' (see longsqrt --help)\n", kept},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (std::string(c.logBefore) == "/dev/full") {
      fs::create_symlink(c.logBefore, dir.path / "log.txt");
    } else if (*c.logBefore != '\0') {
      std::ofstream(dir.log()) << c.logBefore;
    }
    const Outcome o = runProgram(dir, c.answers, c.args, c.redirect);
    EXPECT_EQ(o.status, c.status) << c.name;
    EXPECT_EQ(o.out, c.out) << c.name;
    EXPECT_EQ(o.err, c.err) << c.name;
    EXPECT_EQ(o.log, c.log) << c.name;
  }
}

// Returns true when the process is still running after a short while.
bool stillRunning(pid_t pid) {
  usleep(300000);
  return waitpid(pid, nullptr, WNOHANG) == 0;
}

TEST(CalcEndToEnd, OnATerminalTheWaitTakesOneNewKeyAndGivesTheTerminalBack) {
  enum class Then { key, signal, stopAndContinue };
  struct Case {
    const char* name;
    const char* typed;  // before the wait: the answers, and perhaps keys typed ahead
    Then then;
    int sig = 0;             // the signal sent during the wait
    bool ignored = false;    // the signal is ignored from the start (nohup)
    bool outToFile = false;  // standard output redirected to a file
  };
  const std::vector<Case> cases = {
      {"a key", "0\n2\n1\n", Then::key},
      {"keys typed ahead", "0\n2\n1\nzz", Then::key},
      {"a refused answer, asked again", "x\n0\n2\n1\n", Then::key},
      {"standard output in a file", "0\n2\n1\n", Then::key, 0, false, true},
      {"SIGINT", "0\n2\n1\n", Then::signal, SIGINT},
      {"SIGQUIT", "0\n2\n1\n", Then::signal, SIGQUIT},
      {"SIGTERM", "0\n2\n1\n", Then::signal, SIGTERM},
      {"SIGHUP", "0\n2\n1\n", Then::signal, SIGHUP},
      {"SIGHUP ignored", "0\n2\n1\n", Then::signal, SIGHUP, true},
      {"stopped and continued", "0\n2\n1\n", Then::stopAndContinue},
  };
  const tcflag_t modes = ICANON | ECHO;
  for (const Case& c : cases) {
    TempDir dir;
    Terminal t;
    if (!t.ok()) GTEST_SKIP() << "no pseudo-terminal available";
    termios before;
    ASSERT_EQ(tcgetattr(t.slave, &before), 0);
    ASSERT_EQ(before.c_lflag & modes, modes);

    // A stop needs a shell with job control around the program.
    Job job;
    if (c.then == Then::stopAndContinue) {
      job = startAsJob(t, dir.path.string(), LONGSQRT_EXE);
    } else {
      Streams streams;
      if (c.outToFile) streams.out = "stdout.txt";
      if (c.ignored) streams.ignored = {c.sig};
      job.shell = job.program = startOnTerminal(t, dir.path.string(), LONGSQRT_EXE, {}, streams);
    }
    ChildGuard child{job.shell, job.program};
    ASSERT_GT(job.program, 0) << c.name;
    ASSERT_TRUE(t.type(c.typed));
    std::string seen;
    const bool prompted = readUntil(t.master, kPressAnyKey.big5, seen);
    ASSERT_TRUE(prompted) << c.name << ": " << seen;
    // The wait takes single keys, unechoed; only then does a key count.
    EXPECT_TRUE(awaitModes(t.slave, modes, 0)) << c.name;
    EXPECT_TRUE(stillRunning(job.shell)) << c.name << ": keys typed before the wait ended it";

    bool ends = true;
    switch (c.then) {
      case Then::key:
        break;
      case Then::signal:
        kill(job.program, c.sig);
        ends = !c.ignored;
        if (c.ignored) {
          EXPECT_TRUE(stillRunning(job.shell)) << c.name;
        }
        break;
      case Then::stopAndContinue:
        ASSERT_TRUE(t.type("\x1a"));  // Ctrl-Z
        EXPECT_TRUE(awaitModes(t.slave, modes, modes)) << c.name << ": the shell gets its terminal back";
        {
          // The program gives the terminal back just before it stops, so a
          // continue may come before the stop and be lost (a window that
          // emulation under qemu widens): continue it until it takes the terminal.
          bool retaken = false;
          for (int tries = 0; tries < 20 && !retaken; ++tries) {
            kill(job.program, SIGCONT);
            retaken = awaitModes(t.slave, modes, 0, 1);
          }
          EXPECT_TRUE(retaken) << c.name << ": the wait takes it again";
        }
        break;
    }
    if (!ends || c.then != Then::signal) {
      ASSERT_TRUE(t.type("k"));
    }

    const int status = child.wait();
    if (ends && c.then == Then::signal) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << c.name << ": " << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.name << ": " << status;
    }
    termios after;
    ASSERT_EQ(tcgetattr(t.slave, &after), 0);
    EXPECT_EQ(after.c_lflag & modes, modes) << c.name;
    EXPECT_EQ(readFile((dir.path / "log.txt").string()), expectedLog(2, 1)) << c.name;
    if (c.outToFile) {
      EXPECT_EQ(readFile((dir.path / "stdout.txt").string()), successConsole(2)) << c.name;
    }
    if (*c.typed == 'x') {
      EXPECT_EQ(readFile((dir.path / "stderr.txt").string()), std::string(kBadDebug.big5) + "\n");
      const size_t first = seen.find(kAskDebug.big5);
      EXPECT_NE(seen.find(kAskDebug.big5, first + 1), std::string::npos) << "debug asked again: " << seen;
    }
  }
}

}  // namespace

#endif  // _WIN32
