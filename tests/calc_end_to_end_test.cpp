// Runs the built longsqrt in a scratch folder with piped answers and checks
// every byte it writes to standard output, standard error and log.txt.
#ifndef _WIN32

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "calc/texts.h"
#include "calc_test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace calc_test;
using namespace calc::texts;

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

// Reads from fd into seen until it contains what, or the deadline passes.
bool readUntil(int fd, const std::string& what, std::string& seen) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (seen.find(what) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

// Kills and reaps a child that a failed check left running.
struct ChildGuard {
  pid_t pid;
  bool reaped = false;
  ~ChildGuard() {
    if (reaped) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
};

// Returns true once the terminal's local modes match want under mask.
bool awaitModes(int fd, tcflag_t mask, tcflag_t want) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  termios t;
  while (std::chrono::steady_clock::now() < deadline) {
    if (tcgetattr(fd, &t) == 0 && (t.c_lflag & mask) == want) return true;
    usleep(2000);
  }
  return false;
}

TEST(CalcEndToEnd, TerminalWaitTakesOneKeyAndRestoresTheTerminal) {
  const tcflag_t modes = ICANON | ECHO;
  for (const bool interrupt : {false, true}) {
    TempDir dir;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) GTEST_SKIP() << "no pseudo-terminal available";
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slaveName = ptsname(master);
    const int slave = open(slaveName.c_str(), O_RDWR | O_NOCTTY);  // keeps the settings observable
    ASSERT_GE(slave, 0);
    termios before;
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    ASSERT_EQ(before.c_lflag & modes, modes);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // The program on a terminal of its own: input and output on it, errors to a file.
      setsid();
      const int tty = open(slaveName.c_str(), O_RDWR);
      const int err = open((dir.path / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (tty < 0 || err < 0 || chdir(dir.path.c_str()) != 0) _exit(126);
      dup2(tty, 0);
      dup2(tty, 1);
      dup2(err, 2);
      execl(LONGSQRT_EXE, LONGSQRT_EXE, static_cast<char*>(nullptr));
      _exit(127);
    }
    ChildGuard child{pid};
    ASSERT_EQ(write(master, "0\n2\n1\n", 6), 6);
    std::string seen;
    const bool prompted = readUntil(master, kPressAnyKey, seen);
    EXPECT_TRUE(prompted) << seen;
    EXPECT_NE(seen.find(kFinished), std::string::npos);
    // The wait takes single keys, unechoed; only then does a key count.
    EXPECT_TRUE(prompted && awaitModes(slave, modes, 0));
    ASSERT_EQ(write(master, interrupt ? "\x03" : "k", 1), 1);

    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    child.reaped = true;
    if (interrupt) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    termios after;
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(after.c_lflag & modes, modes) << (interrupt ? "interrupted" : "key pressed");
    EXPECT_EQ(readFile((dir.path / "log.txt").string()), expectedLog(2, 1));
    close(slave);
    close(master);
  }
}

}  // namespace

#endif  // _WIN32
