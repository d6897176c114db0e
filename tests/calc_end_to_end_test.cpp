// Runs the built longsqrt in a scratch folder with piped answers and checks
// every byte it writes to standard output, standard error and log.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "calc/texts.h"
#include "calc_test_util.h"

#ifdef _WIN32
#include "posix_only.h"
#else
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "terminal_util.h"
#endif

namespace {

namespace fs = std::filesystem;
using namespace calc_test;
using namespace calc::texts;
#ifndef _WIN32
using namespace terminal_test;
#endif

struct Outcome {
  int status = -1;
  std::string out, err, log;
};

#ifdef _WIN32
// Returns text with each CR LF made LF, failing the test for a LF without its
// CR: on Windows every line longsqrt writes, on the console or in its log,
// ends in CR LF.
std::string fromCrLf(const std::string& text, const std::string& what) {
  std::string lf;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
      ADD_FAILURE() << what << ": a line ends in LF alone";
    lf += text[i];
  }
  return lf;
}
#endif

// Runs the program in dir with args and the answers piped to its standard
// input; redirect says where its standard streams go, before is shell text
// run first (limits set in the child). It runs in a UTF-8 locale, whatever the
// test runner's: off a terminal that changes no byte. A run that hangs ends
// after a minute. On Windows cmd.exe starts it, and what it writes comes back
// with LF line ends, without the prompt of the "pause" that ends the run.
Outcome runProgram(const TempDir& dir, const std::string& answers, const std::string& args = "",
                   const std::string& redirect = "> stdout.txt 2> stderr.txt",
                   [[maybe_unused]] const std::string& before = "") {
  std::ofstream(dir.path / "answers.txt", std::ios::binary) << answers;
  Outcome o;
#ifdef _WIN32
  static const std::string exe = fs::absolute(LONGSQRT_EXE).make_preferred().string();
  const std::string command =
      "cd /d \"" + dir.path.string() + "\" && \"" + exe + "\" " + args + " < answers.txt " + redirect;
  // Under load Wine's cmd.exe now and then fails to start the program at all
  // (status 9009, "Can't recognize ... as a command"): that run starts again.
  for (int attempt = 0; attempt < 3 && (o.status = std::system(command.c_str())) == 9009; ++attempt) {
  }
  const std::string out = readFile((dir.path / "stdout.txt").string());
  o.out = fromCrLf(out.substr(0, out.find("Press any key")), "the console");
  o.err = fromCrLf(readFile((dir.path / "stderr.txt").string()), "the messages");
  o.log = fromCrLf(readFile((dir.path / "log.txt").string()), "the log");
#else
  const std::string command = "cd '" + dir.path.string() + "' && " + before +
                              " cat answers.txt | LC_ALL=C.UTF-8 LANG=C.UTF-8 timeout 60 " +
                              shellCommandOf(LONGSQRT_EXE) + " " + args + " " + redirect;
  const int raw = std::system(command.c_str());
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  o.out = readFile((dir.path / "stdout.txt").string());
  o.err = readFile((dir.path / "stderr.txt").string());
  o.log = readFile((dir.path / "log.txt").string());
#endif
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
      // Every thread count writes the same bytes; no option takes the default.
      for (const char* threads : {"", " --threads 1", " --threads 2", " --threads=3", " --threads 7"}) {
        // --utf8 writes exactly what iconv makes of the Big5 run's bytes.
        const auto expect = [utf8](const std::string& big5) { return utf8 ? toUtf8(big5) : big5; };
        TempDir dir;
        const Outcome o = runProgram(dir, c.answers, (utf8 ? "--utf8" : "") + std::string(threads));
        const std::string golden = std::string(LONGSQRT_TEST_DATA) + "/" + c.golden;
        const std::string what = std::string(c.golden) + (utf8 ? " --utf8" : "") + threads;
        EXPECT_EQ(o.status, 0) << what;
        EXPECT_EQ(o.out, expect(readFile(golden + ".stdout"))) << what;
        EXPECT_EQ(o.log, expect(readFile(golden + ".log"))) << what;
        EXPECT_EQ(o.err, "") << what;
      }
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

// Returns the byte offset at which place k's record ends in a log.
size_t placeEnd(const std::string& log, int k) {
  const std::string end = std::string(kSeparator) + "\n\n";
  size_t at = 0;
  for (int i = 0; i < k; ++i) at = log.find(end, at) + end.size();
  return at;
}

// Returns the number (from 1) of the line holding byte offset at.
int64_t lineAt(const std::string& log, size_t at) {
  return std::count(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1;
}

// Changes the last digit of the line holding offset at to the next one.
std::string bumpedLine(std::string log, size_t at) {
  char& digit = log[log.find('\n', at) - 1];
  digit = digit == '9' ? '8' : static_cast<char>(digit + 1);
  return log;
}

TEST(CalcEndToEnd, ResumeEndsAsAnUninterruptedRunOrLeavesAnotherLogAsItWas) {
  struct Case {
    const char* name;
    const char* golden;   // the uninterrupted run, in tests/data
    const char* answers;  // the golden run's
    bool utf8;
    std::function<std::string(const std::string& golden)> before;  // the log left by the interrupted run
    const char* otherAnswers = nullptr;  // a refusal: the answers of the resumed run
    std::function<int64_t(const std::string& golden)> refusedAt = nullptr;  // the line a refusal names
    const char* says = "";  // what the refusal says of that line
  };
  const char *d1 = "debug1_no2_length2", *d99 = "debug0_no99_length2", *d66 = "debug0_no66_length160";
  const char *a1 = "1\n2\n2\n", *a99 = "0\n99\n2\n", *a66 = "0\n66\n160\n";
  const auto first = [](const std::string&) { return int64_t{1}; };
  const auto head = [](const std::string& g) { return g.substr(0, 5000); };
  const auto all = [](const std::string& g) { return g; };
  const auto place1 = [](const std::string& g) { return g.substr(0, placeEnd(g, 1)); };
  const std::vector<Case> cases = {
      {"a record boundary", d1, a1, false, place1},
      {"a record boundary, a limit block", d99, a99, true, place1},
      {"inside a place's traces", d1, a1, true,
       [](const std::string& g) { return g.substr(0, g.find('\n', placeEnd(g, 1) + 50) + 1); }},
      {"inside a line", d1, a1, false, [](const std::string& g) { return g.substr(0, 300); }},
      {"inside a line", d66, a66, true, [](const std::string& g) { return g.substr(0, g.size() / 2); }},
      {"no log", d66, a66, false, nullptr},
      {"every place logged", d66, a66, false, all},
      {"other no", d66, a66, false, head, "0\n67\n160\n", first},
      {"other debug", d66, a66, false, head, "1\n66\n160\n", first},
      {"other encoding", d66, a66, false, head, a66, first,
       "in Big5, expected the same line in UTF-8 (a Big5 log is continued without --utf8)\n"},
      {"more places than asked", d66, a66, false, all, "0\n66\n100\n",
       [](const std::string& g) { return lineAt(g, placeEnd(g, 100)); }},
      {"a wrong digit in a middle result", d66, a66, false,
       [](const std::string& g) { return bumpedLine(g, g.find("sqrt(66, 50)")); }, a66,
       [](const std::string& g) { return lineAt(g, g.find("sqrt(66, 50)")); }},
      {"a wrong last root", d66, a66, false,
       [](const std::string& g) { return bumpedLine(g.substr(0, placeEnd(g, 80)), g.find("sqrt(66, 80)")); },
       a66, [](const std::string& g) { return lineAt(g, g.find("sqrt(66, 80)")); }},
      {"a wrong x in place K", d1, a1, false,
       [](const std::string& g) { return bumpedLine(g.substr(0, placeEnd(g, 1)), g.find("x ")); }, a1,
       [](const std::string&) { return int64_t{3}; }},
  };
  for (const Case& c : cases) {
    const std::string golden = std::string(LONGSQRT_TEST_DATA) + "/" + c.golden;
    const bool refused = c.otherAnswers != nullptr;
    // The other encoding's row resumes a Big5 log with --utf8.
    const bool utf8Run = c.utf8 || (refused && std::string(c.name) == "other encoding");
    const auto inRun = [utf8Run](const std::string& big5) { return utf8Run ? toUtf8(big5) : big5; };
    const auto inLog = [&c](const std::string& big5) { return c.utf8 ? toUtf8(big5) : big5; };
    const std::string log = readFile(golden + ".log");
    TempDir dir;
    const std::string before = c.before ? inLog(c.before(log)) : "";
    if (c.before) std::ofstream(dir.log(), std::ios::binary) << asLogFile(before);
    const Outcome o = runProgram(dir, refused ? c.otherAnswers : c.answers,
                                 std::string(utf8Run ? "--utf8 " : "") + "--resume");
    if (refused) {
      EXPECT_EQ(o.status, 1) << c.name;
      EXPECT_EQ(o.out, inRun(prompts())) << c.name;
      const std::string named = inRun(calc_test::named(kLogNotResumable)) + ": line " +
                                std::to_string(c.refusedAt(log)) + " holds \"";
      EXPECT_EQ(o.err.substr(0, named.size()), named) << c.name << ": " << o.err;
      EXPECT_NE(o.err.find(c.says), std::string::npos) << c.name << ": " << o.err;
      EXPECT_EQ(o.log, before) << c.name;
      continue;
    }
    EXPECT_EQ(o.status, 0) << c.name;
    EXPECT_EQ(o.out, inRun(readFile(golden + ".stdout"))) << c.name;
    EXPECT_EQ(o.err, "") << c.name;
    EXPECT_EQ(o.log, inLog(log)) << c.name;
  }
}

#ifndef _WIN32

TEST(CalcEndToEnd, ARunKilledAtARandomMomentResumesToTheUninterruptedLog) {
  const std::string answers = "1\n2\n400\n";
  TempDir whole;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(runProgram(whole, answers).status, 0);
  const auto took =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  std::mt19937 rng(std::random_device{}());
  const auto wait = std::uniform_int_distribution<long>(0, took.count())(rng);
  TempDir dir;
  std::ofstream(dir.path / "answers.txt") << answers;
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(dir.path.c_str()) != 0 || !freopen("answers.txt", "r", stdin) ||
        !freopen("/dev/null", "w", stdout))
      _exit(127);
    execl(LONGSQRT_EXE, LONGSQRT_EXE, static_cast<char*>(nullptr));
    _exit(127);
  }
  usleep(static_cast<useconds_t>(wait));
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  const std::string interrupted = readFile(dir.log());
  const Outcome o = runProgram(dir, answers, "--resume");
  EXPECT_EQ(o.status, 0) << "killed after " << wait << " us";
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.log, readFile(whole.log()))
      << "killed after " << wait << " us, " << interrupted.size() << " bytes left";
}

#else  // _WIN32

LONGSQRT_POSIX_ONLY_TEST(CalcEndToEnd, ARunKilledAtARandomMomentResumesToTheUninterruptedLog,
                         LONGSQRT_NEEDS_SIGNALS)

#endif  // _WIN32

TEST(CalcEndToEnd, AnswersAsOperandsPrintTheRootAndWriteTheSameLog) {
  struct Case {
    const char* args;
    int status;
    std::string out, err, log;  // log: what log.txt holds after the run
    std::string logBefore = "";
  };
  const std::string data = std::string(LONGSQRT_TEST_DATA) + "/";
  const std::string traced = readFile(data + "debug1_no2_length2.log");
  const std::string golden99 = readFile(data + "debug0_no99_length2.log");
  const std::string golden66 = readFile(data + "debug0_no66_length160.log");
  const std::string kept = "left by an earlier run\n";
  const auto usage = [](const std::string& what) { return "longsqrt: " + what + " (see longsqrt --help)\n"; };
  const std::vector<Case> cases = {
      {"2 8", 0, "1.41421356\n", "", expectedLog(2, 8)},
      {"--debug 2 2", 0, "1.41\n", "", traced},
      {"--utf8 --threads 3 99 2", 0, "9.94\n", "", toUtf8(golden99)},
      {"2 0", 0, "1.\n", "", ""},
      {"-- 2 -5", 0, "1.\n", "", ""},
      {"--log - 99 2", 0, golden99, "", kept, kept},
      {"--resume 66 160", 0, resultTextOf(66, 160) + "\n", "", golden66, golden66.substr(0, 5000)},
      {"2", 2, "", usage("LENGTH is missing after NO '2'"), kept, kept},
      {"2 3 4", 2, "", usage("extra operand '4'"), kept, kept},
      {"2147483648 3", 2, "", usage("NO must be an integer from 0 to 2147483647, not '2147483648'"), kept,
       kept},
      {"-1 3", 2, "", usage("NO must be an integer from 0 to 2147483647, not '-1'"), kept, kept},
      {"2 1.5", 2, "", usage("LENGTH must be an integer from -2147483648 to 2147483647, not '1.5'"), kept,
       kept},
      {"--debug", 2, "", usage("--debug goes with NO and LENGTH"), kept, kept},
      {"--log -", 2, "", usage("--log - goes with NO and LENGTH"), kept, kept},
      {"--check 2 3", 2, "", usage("--check takes no NO and LENGTH"), kept, kept},
      {"--resume --log - 2 3", 2, "", usage("--resume cannot read back --log - (standard output)"), kept,
       kept},
  };
  for (const Case& c : cases) {
    TempDir dir;
#ifdef _WIN32
    const std::string before = withCrLf(c.logBefore);  // a log as the Windows build writes it
#else
    const std::string& before = c.logBefore;
#endif
    if (!before.empty()) std::ofstream(dir.log(), std::ios::binary) << before;
    // Nothing is asked: the answers on standard input are never read.
    const Outcome o = runProgram(dir, "1\n7\n7\n", c.args);
    EXPECT_EQ(o.status, c.status) << c.args;
    EXPECT_EQ(o.out, c.out) << c.args;
    EXPECT_EQ(o.err, c.err) << c.args;
    EXPECT_EQ(o.log, c.log) << c.args;
  }
#ifndef _WIN32
  // A reader of the log on standard output that stops early ends the run at
  // once, quietly, as a broken pipe ends a writer.
  TempDir dir;
  const std::string command =
      "cd '" + dir.path.string() + "' && (timeout 60 " + shellCommandOf(LONGSQRT_EXE) +
      " --log - 2 100000 2> stderr.txt; echo $? > status.txt) | head -c 100 > stdout.txt";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(readFile((dir.path / "status.txt").string()), "141\n");
  EXPECT_EQ(readFile((dir.path / "stderr.txt").string()), "");
  EXPECT_EQ(readFile((dir.path / "stdout.txt").string()), expectedLog(2, 5).substr(0, 100));
#endif
}

TEST(CalcEndToEnd, SecondRunTruncatesTheLog) {
  TempDir dir;
  ASSERT_EQ(runProgram(dir, "1\n2\n5\n").status, 0);
  const Outcome second = runProgram(dir, "0\n3\n1\n");
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.log, expectedLog(3, 1));
}

#ifndef _WIN32

// Whether the program runs under AddressSanitizer or ThreadSanitizer, which
// cannot start under an address-space limit.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizer = true;
#elif defined(__has_feature)
constexpr bool kSanitizer = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitizer = false;
#endif

// Returns the "ulimit -v" (KiB, within 16) under which a run of no place just
// succeeds: the program's own needs, with nothing to spare for computing.
long smallestAddressSpace() {
  TempDir dir;
  long fails = 1024, runs = 1L << 22;
  while (runs - fails > 16) {
    const long mid = (fails + runs) / 2;
    // The shell's own word on a run that the limit aborts before main goes nowhere.
    const std::string limit = "exec 2>/dev/null; ulimit -v " + std::to_string(mid) + ";";
    (runProgram(dir, "0\n2\n0\n", "", "> stdout.txt 2> stderr.txt", limit).status == 0 ? runs : fails) = mid;
  }
  return runs;
}

TEST(CalcEndToEnd, ClosedStreamsFullDisksAndBadArgumentsLoseNothing) {
  struct Case {
    const char* name;
    const char* args;
    const char* answers;
    std::string redirect;
    const char* logBefore;  // "": none, "/dev/full" or "missing/target": a link to it, "fifo", "empty", else
                            // its bytes
    int status;
    std::string out, err, log;
    std::string before = "";  // shell text run first: the child's limits
    bool cut = false;         // the log is cut short, in whole lines: a shorter prefix of log
  };
  const std::string kept = "left by an earlier run\n";
  const std::string computing = prompts() + kComputing.big5 + "\n" + kInput + "2\n";
  const std::string noSpace = named(kLogWriteFailed) + ": " + std::strerror(ENOSPC) + "\n";
  const std::string writeError = std::string("longsqrt: write error: ") + std::strerror(ENOSPC) + "\n";
  const char* plain = "> stdout.txt 2> stderr.txt";
  // --check reads a log and changes nothing: good logs, an empty one, an
  // unfinished one, a wrong line.
  const std::string golden66 = readFile(std::string(LONGSQRT_TEST_DATA) + "/debug0_no66_length160.log");
  const std::string crLf66 = withCrLf(toUtf8(golden66)), cut66 = golden66.substr(0, golden66.size() / 2);
  std::string noSeparator = readFile(std::string(LONGSQRT_TEST_DATA) + "/debug0_no99_length2.log");
  noSeparator.erase(noSeparator.find(std::string(kSeparator) + "\n"), 32);
  std::string wrongDigit = readFile(std::string(LONGSQRT_TEST_DATA) + "/debug0_no99_length2.log");
  wrongDigit.replace(wrongDigit.find("9.94\n"), 4, "9.95");
  // The log's own texts are shown in the console's encoding, whatever the log's.
  const std::string result = std::string("\"") + kResultPrefix.big5 + " sqrt(99, 2) = 9.9";
  const std::string wrongLine = "log.txt: line 8 holds " + result + "5\", expected " + result + "4\"\n";
  // A file-size limit cuts a traced log back to its last whole line.
  const size_t fileLimit = 8192;  // ulimit -f counts 512-byte blocks
  TempDir unlimited;
  const std::string traced = runProgram(unlimited, "1\n2\n30\n").log;
  ASSERT_GT(traced.size(), fileLimit);
  // A console pipe whose reader is gone before the run starts.
  int closedPipe[2];
  ASSERT_EQ(pipe(closedPipe), 0);
  close(closedPipe[0]);
  const std::string toClosedPipe = "1>&" + std::to_string(closedPipe[1]) + " 2> stderr.txt";
  std::vector<Case> cases = {
      {"full disk", "", "0\n2\n2\n", plain, "/dev/full", 1, computing, noSpace, ""},
      // A device's lock is every program's: a log on one takes none.
      {"full disk locked elsewhere", "", "0\n2\n2\n", plain, "/dev/full", 1, computing, noSpace, "",
       "exec 9>/dev/full; flock -n 9 &&"},
      {"full disk, traces", "", "1\n2\n2\n", plain, "/dev/full", 1, computing, noSpace, ""},
      {"full disk, no place to write", "", "0\n2\n0\n", plain, "/dev/full", 0, successConsole(2), "", ""},
      {"full disk, traces, 7 threads", "--threads 7", "1\n2\n2\n", plain, "/dev/full", 1, computing, noSpace,
       ""},
      {"file-size limit, traces", "", "1\n2\n30\n", plain, "", 1, computing,
       named(kLogWriteFailed) + ": " + std::strerror(EFBIG) + "\n",
       traced.substr(0, traced.rfind('\n', fileLimit - 1) + 1),
       "ulimit -f " + std::to_string(fileLimit / 512) + ";"},
      {"file-size limit, traces, 3 threads", "--threads 3", "1\n2\n30\n", plain, "", 1, computing,
       named(kLogWriteFailed) + ": " + std::strerror(EFBIG) + "\n",
       traced.substr(0, traced.rfind('\n', fileLimit - 1) + 1),
       "ulimit -f " + std::to_string(fileLimit / 512) + ";"},
      {"bad thread count", "--threads 65", "0\n2\n3\n", plain, kept.c_str(), 2, "",
       "longsqrt: --threads takes a number from 1 to 64, not '65' (see longsqrt --help)\n", kept},
      // A closed standard stream never lets the console's texts into the log.
      {"standard output closed", "", "0\n2\n3\n", ">&- 2> stderr.txt", "", 0, "", "", expectedLog(2, 3)},
      {"console pipe closed", "", "0\n2\n3\n", toClosedPipe, kept.c_str(), 0, "", "", expectedLog(2, 3)},
      {"standard error closed", "", "0\nx\n", "> stdout.txt 2>&-", kept.c_str(), 1,
       std::string(kAskDebug.big5) + kAskNo.big5, "", kept},
      {"standard input closed", "", "0\n2\n3\n", "<&- > stdout.txt 2> stderr.txt", kept.c_str(), 1,
       kAskDebug.big5, std::string(kEndedBeforeDebug.big5) + "\n", kept},
      {"standard input a directory", "", "0\n2\n3\n", "< . > stdout.txt 2> stderr.txt", kept.c_str(), 1,
       kAskDebug.big5, std::string(kReadFailed.big5) + ": " + std::strerror(EISDIR) + "\n", kept},
      {"FIFO without a reader", "", "0\n2\n3\n", plain, "fifo", 1, "",
       named(kLogOpenFailed) + ": " + std::strerror(ENXIO) + "\n", ""},
      {"link to nothing", "", "0\n2\n3\n", plain, "missing/target", 1, "",
       named(kLogOpenFailed) + ": " + kDanglingLink.big5 + "\n", ""},
      {"--log a folder", "--log .", "0\n2\n3\n", plain, "", 1, "",
       named(kLogOpenFailed, ".") + ": " + std::strerror(EISDIR) + "\n", ""},
      // A log that is the run's own input or console would be read back as
      // answers (a pipe that fills for ever) or mixed with the console.
      {"the log is the answers' pipe", "--log /dev/stdin", "1\n2\n100\n", plain, "", 1, "",
       named(kLogOpenFailed, "/dev/stdin") + ": " + kLogIsInput.big5 + "\n", ""},
      {"the log is standard output's file", "--log stdout.txt", "0\n2\n3\n", plain, "", 1, "",
       named(kLogOpenFailed, "stdout.txt") + ": " + kLogIsOutput.big5 + "\n", ""},
      {"--check, UTF-8, CR LF", "--check", "", plain, crLf66.c_str(), 0,
       "log.txt: no 66, debug 0, UTF-8, CR LF, 160 whole places\n", "", crLf66},
      {"--check, unfinished", "--check --log log.txt", "", plain, cut66.c_str(), 0,
       "log.txt: no 66, debug 0, Big5, LF, 100 whole places, then an unfinished place 101 (--resume "
       "continues "
       "it)\n",
       "", cut66},
      {"--check, empty", "--check", "", plain, "empty", 0, "log.txt: 0 whole places\n", "", ""},
      {"--check, a missing separator", "--check", "", plain, noSeparator.c_str(), 1,
       "log.txt: line 6 holds \"\", expected \"===============================\"\n", "", noSeparator},
      {"--check, a wrong digit", "--check", "", plain, wrongDigit.c_str(), 1, wrongLine, "", wrongDigit},
      {"--check, a wrong digit, --utf8", "--check --utf8", "", plain, wrongDigit.c_str(), 1,
       toUtf8(wrongLine), "", wrongDigit},
      {"--check, a folder", "--check --log .", "", plain, "", 1, "",
       std::string("longsqrt: .: ") + std::strerror(EISDIR) + "\n", ""},
      {"--check, no such log", "--check --log missing.txt", "", plain, "", 1, "",
       std::string("longsqrt: missing.txt: ") + std::strerror(ENOENT) + "\n", ""},
      {"unknown argument", "--bogus", "0\n2\n3\n", plain, kept.c_str(), 2, "",
       "longsqrt: unknown argument '--bogus' (see longsqrt --help)\n", kept},
      {"help to a full disk", "--help", "", "> /dev/full 2> stderr.txt", kept.c_str(), 1, "", writeError,
       kept},
      {"version to a full disk", "--version", "", "> /dev/full 2> stderr.txt", kept.c_str(), 1, "",
       writeError, kept},
      {"limb loops the environment names", "--version", "", plain, kept.c_str(), 2, "",
       "longsqrt: LONGSQRT_LIMB_LOOPS=bogus: no such path (scalar or avx2)\n", kept,
       "export LONGSQRT_LIMB_LOOPS=bogus;"},
  };
  // An emulator takes the address-space limit for itself, as the sanitizer does.
  if (!kSanitizer && !underEmulator()) {
    // Memory runs out as the values grow. With traces, a little more memory
    // lets it run out in the middle of a line (the decimal text of a value),
    // which must not reach the log.
    const long spare = smallestAddressSpace();
    const auto limit = [](long space) { return "ulimit -v " + std::to_string(space) + ";"; };
    const std::string noMemory = std::string(kOutOfMemory.big5) + "\n";
    cases.push_back({"out of memory", "--threads 1", "0\n2\n3000\n", plain, kept.c_str(), 1, computing,
                     noMemory, expectedLog(2, 3000), limit(spare), true});
    cases.push_back({"out of memory, traces", "--threads 1", "1\n2\n3000\n", plain, kept.c_str(), 1,
                     computing, noMemory, "", limit(spare + 160), true});
    // Room for the stacks of the two threads that judge beside the writer
    // (8 MiB and a guard page each), so that they start and memory runs out
    // in them as much as in the writer.
    const long threads = spare + 2 * (8192 + 4);
    const std::string stacks = "ulimit -s 8192;";
    cases.push_back({"out of memory, 3 threads", "--threads 3", "0\n2\n3000\n", plain, kept.c_str(), 1,
                     computing, noMemory, expectedLog(2, 3000), stacks + limit(threads), true});
    cases.push_back({"out of memory, traces, 3 threads", "--threads 3", "1\n2\n3000\n", plain, kept.c_str(),
                     1, computing, noMemory, "", stacks + limit(threads + 160), true});
  }
  for (const Case& c : cases) {
    TempDir dir;
    const std::string logBefore = c.logBefore;
    if (logBefore == "/dev/full" || logBefore == "missing/target") {
      fs::create_symlink(logBefore, dir.path / "log.txt");
    } else if (logBefore == "fifo") {
      ASSERT_EQ(mkfifo(dir.log().c_str(), 0600), 0);
    } else if (!logBefore.empty()) {
      std::ofstream(dir.log(), std::ios::binary) << (logBefore == "empty" ? "" : logBefore);
    }
    const Outcome o = runProgram(dir, c.answers, c.args, c.redirect, c.before);
    EXPECT_EQ(o.status, c.status) << c.name;
    EXPECT_EQ(o.out, c.out) << c.name;
    EXPECT_EQ(o.err, c.err) << c.name;
    if (c.cut) {  // an empty c.log: only whole lines are known
      EXPECT_TRUE(c.log.empty() || o.log.size() < c.log.size()) << c.name;
      EXPECT_EQ(o.log.substr(0, c.log.size()), c.log.substr(0, o.log.size())) << c.name;
      EXPECT_TRUE(o.log.empty() || o.log.back() == '\n') << c.name;
    } else {
      EXPECT_EQ(o.log, c.log) << c.name;
    }
  }
  close(closedPipe[1]);
}

// Writes text to a run's standard input and makes it go out at once.
void type(FILE* in, const char* text) {
  std::fputs(text, in);
  std::fflush(in);
}

// Waits until the file at path holds what (a run's prompt).
bool awaitText(const fs::path& path, const std::string& what) {
  for (int i = 0; i < 2000; ++i) {
    if (readFile(path.string()).find(what) != std::string::npos) return true;
    usleep(10000);
  }
  return false;
}

TEST(CalcEndToEnd, TwoRunsNeverShareALogNorRemoveAnothersLog) {
  enum class Meanwhile { secondRun, replaced, written };
  struct Case {
    const char* name;
    const char* logBefore;  // "": none
    Meanwhile meanwhile;    // what happens while the first run waits for its answer to no
    const char* rest;       // the first run's answers after debug
    int status;
    std::string log;
  };
  const std::string kept = "left by an earlier run\n", other = "another run's log\n";
  const std::vector<Case> cases = {
      {"a second run", kept.c_str(), Meanwhile::secondRun, "2\n3\n", 0, expectedLog(2, 3)},
      {"a second run, no log before", "", Meanwhile::secondRun, "2\n3\n", 0, expectedLog(2, 3)},
      // The first run created log.txt and is refused: it removes no file but its own, empty.
      {"another log put in its place", "", Meanwhile::replaced, "", 1, other},
      {"another run's lines written into it", "", Meanwhile::written, "", 1, other},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (*c.logBefore != '\0') std::ofstream(dir.log()) << c.logBefore;
    const std::string first =
        "cd '" + dir.path.string() + "' && exec " + shellCommandOf(LONGSQRT_EXE) + " > a.out 2> a.err";
    FILE* in = popen(first.c_str(), "w");
    ASSERT_NE(in, nullptr) << c.name;
    type(in, "0\n");
    ASSERT_TRUE(awaitText(dir.path / "a.out", kAskNo.big5)) << c.name;
    switch (c.meanwhile) {
      case Meanwhile::secondRun: {
        const Outcome second = runProgram(dir, "0\n3\n1\n");
        EXPECT_EQ(second.status, 1) << c.name;
        EXPECT_EQ(second.out, "") << c.name;
        EXPECT_EQ(second.err, named(kLogHeld) + "\n") << c.name;
        break;
      }
      case Meanwhile::replaced:
        std::ofstream(dir.path / "other.txt") << other;
        fs::rename(dir.path / "other.txt", dir.log());
        break;
      case Meanwhile::written:
        std::ofstream(dir.log(), std::ios::app) << other;
        break;
    }
    type(in, c.rest);
    const int status = pclose(in);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << c.name << ": " << status;
    EXPECT_EQ(readFile(dir.log()), c.log) << c.name;
  }
}

// Returns true when the process is still running after a short while.
bool stillRunning(pid_t pid) {
  usleep(300000);
  return waitpid(pid, nullptr, WNOHANG) == 0;
}

TEST(CalcEndToEnd, OnATerminalTheWaitTakesOneNewKeyAndGivesTheTerminalBack) {
  enum class Then { key, signal, stopAndContinue };
  const calc::Encoding big5 = calc::Encoding::big5, utf8 = calc::Encoding::utf8;
  struct Case {
    const char* name;
    const char* typed;  // before the wait: the answers, and perhaps keys typed ahead
    Then then;
    int sig = 0;               // the signal sent during the wait
    bool ignored = false;      // the signal is ignored from the start (nohup)
    bool outToFile = false;    // standard output redirected to a file
    const char* locale = "C";  // the child's LC_ALL; nullptr: unset
    std::vector<std::string> args = {};
    calc::Encoding shown = utf8;             // the texts' encoding on the terminal (a file gets Big5)
    bool errOnTerminal = false;              // standard error on the terminal, not in a file
    const char* lang = "C";                  // the child's LANG; nullptr: unset
    unsigned short columns = 0;              // the terminal's width; 0: it does not tell
    const char* root = " sqrt(2, 1) = 1.4";  // the end of the result line shown when the run ends
  };
  const char* utf8Locale = "C.UTF-8";  // in every glibc since 2.35, and in Debian's before
  const std::vector<Case> cases = {
      {"a key", "0\n2\n1\n", Then::key},
      {"keys typed ahead", "0\n2\n1\nzz", Then::key},
      {"a refused answer, asked again", "x\n0\n2\n1\n", Then::key},
      {"standard output in a file", "0\n2\n1\n", Then::key, 0, false, true},
      // A UTF-8 terminal reads UTF-8 wherever it is written to; files and the log stay Big5.
      // So does a terminal whose locale is ASCII (C, POSIX, none), which can show no text.
      {"UTF-8 locale", "x\n0\n2\n1\n", Then::key, 0, false, false, utf8Locale, {}, utf8},
      {"UTF-8 locale, messages", "x\n0\n2\n1\n", Then::key, 0, false, false, utf8Locale, {}, utf8, true},
      // The root's line, cut to a narrow terminal, then the log's path.
      {"UTF-8 locale, messages, 60 columns",
       "0\n2\n100\n",
       Then::key,
       0,
       false,
       false,
       utf8Locale,
       {},
       utf8,
       true,
       "C",
       60,
       " sqrt(2, 100) = 1.4... (100 places)"},
      {"UTF-8 locale, output in a file", "0\n2\n1\n", Then::key, 0, false, true, utf8Locale, {}, utf8},
      {"--big5, UTF-8", "x\n0\n2\n1\n", Then::key, 0, false, false, utf8Locale, {"--big5"}, big5, true},
      {"Big5 locale", "0\n2\n1\n", Then::key, 0, false, false, "zh_TW.BIG5", {}, big5},
      {"LANG=C", "x\n0\n2\n1\n", Then::key, 0, false, false, nullptr, {}, utf8, true, "C"},
      {"LC_ALL=POSIX over a Big5 LANG",
       "x\n0\n2\n1\n",
       Then::key,
       0,
       false,
       false,
       "POSIX",
       {},
       utf8,
       true,
       "zh_TW.BIG5"},
      {"no locale named", "x\n0\n2\n1\n", Then::key, 0, false, false, nullptr, {}, utf8, true, nullptr},
      {"no locale named, output in a file",
       "0\n2\n1\n",
       Then::key,
       0,
       false,
       true,
       nullptr,
       {},
       utf8,
       false,
       nullptr},
      {"--big5, no locale named",
       "x\n0\n2\n1\n",
       Then::key,
       0,
       false,
       false,
       nullptr,
       {"--big5"},
       big5,
       true,
       nullptr},
      {"SIGINT", "0\n2\n1\n", Then::signal, SIGINT},
      {"SIGQUIT", "0\n2\n1\n", Then::signal, SIGQUIT},
      {"SIGTERM", "0\n2\n1\n", Then::signal, SIGTERM},
      {"SIGHUP", "0\n2\n1\n", Then::signal, SIGHUP},
      {"SIGHUP ignored", "0\n2\n1\n", Then::signal, SIGHUP, true},
      // Every signal that ends a process gives the terminal back, not a chosen few.
      {"SIGUSR1", "0\n2\n1\n", Then::signal, SIGUSR1},
      {"SIGUSR2", "0\n2\n1\n", Then::signal, SIGUSR2},
      {"SIGALRM", "0\n2\n1\n", Then::signal, SIGALRM},
      {"SIGXCPU", "0\n2\n1\n", Then::signal, SIGXCPU},
      {"SIGVTALRM", "0\n2\n1\n", Then::signal, SIGVTALRM},
      {"SIGPROF", "0\n2\n1\n", Then::signal, SIGPROF},
      {"SIGSYS", "0\n2\n1\n", Then::signal, SIGSYS},
      {"SIGRTMIN", "0\n2\n1\n", Then::signal, SIGRTMIN},
      {"stopped and continued", "0\n2\n1\n", Then::stopAndContinue},
  };
  const tcflag_t modes = ICANON | ECHO;
  for (const Case& c : cases) {
    if (c.shown == utf8 && c.locale && !haveLocale(c.locale)) {
      std::printf("skipped \"%s\": no locale %s here\n", c.name, c.locale);
      continue;
    }
    TempDir dir;
    Terminal t;
    if (!t.ok()) GTEST_SKIP() << "no pseudo-terminal available";
    const winsize size = {24, c.columns, 0, 0};
    ASSERT_EQ(ioctl(t.master, TIOCSWINSZ, &size), 0);
    termios before;
    ASSERT_EQ(tcgetattr(t.slave, &before), 0);
    ASSERT_EQ(before.c_lflag & modes, modes);

    // A stop needs a shell with job control around the program.
    Streams streams;
    streams.locale = c.locale;
    streams.lang = c.lang;
    if (c.outToFile) streams.out = "stdout.txt";
    if (c.errOnTerminal) streams.err = nullptr;
    if (c.ignored) streams.ignored = {c.sig};
    Job job;
    if (c.then == Then::stopAndContinue) {
      job = startAsJob(t, dir.path.string(), LONGSQRT_EXE, c.args, streams);
    } else {
      job.shell = job.program = startOnTerminal(t, dir.path.string(), LONGSQRT_EXE, c.args, streams);
    }
    ChildGuard child{job.shell, job.program};
    ASSERT_GT(job.program, 0) << c.name;
    ASSERT_TRUE(t.type(c.typed));
    std::string seen;
    const bool prompted = readUntil(t.master, kPressAnyKey.in(c.shown), seen);
    ASSERT_TRUE(prompted) << c.name << ": " << seen;
    if (!c.outToFile) {
      // The terminal echoes the typed answers whenever they arrive, so they may
      // fall between the prompts: only the prompts' order is the program's.
      const size_t askedDebug = seen.find(kAskDebug.in(c.shown));
      EXPECT_NE(askedDebug, std::string::npos) << c.name;
      EXPECT_NE(seen.find(kAskNo.in(c.shown), askedDebug), std::string::npos) << c.name;
    }
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
    const std::string places = std::string(c.typed).substr(std::string(c.typed).rfind("2\n") + 2);
    EXPECT_EQ(readFile((dir.path / "log.txt").string()), expectedLog(2, std::stoi(places))) << c.name;
    // Where standard error is the terminal, the root and the log's path come
    // after the completion message; a file gets neither.
    const std::string root = std::string(kFinished.in(c.shown)) + "\r\n" + kResultPrefix.in(c.shown) +
                             c.root + "\r\n" + kLogShown.before.in(c.shown) + "log.txt\r\n" +
                             kPressAnyKey.in(c.shown);
    EXPECT_EQ(seen.find(root) != std::string::npos, c.errOnTerminal) << c.name << ": " << seen;
    if (c.outToFile) {
      EXPECT_EQ(readFile((dir.path / "stdout.txt").string()), successConsole(2)) << c.name;
    }
    if (*c.typed == 'x') {
      if (c.errOnTerminal) {
        EXPECT_NE(seen.find(std::string(kBadDebug.in(c.shown)) + "\r\n"), std::string::npos) << c.name;
      } else {
        EXPECT_EQ(readFile((dir.path / "stderr.txt").string()), std::string(kBadDebug.big5) + "\n") << c.name;
      }
      const size_t first = seen.find(kAskDebug.in(c.shown));
      EXPECT_NE(seen.find(kAskDebug.in(c.shown), first + 1), std::string::npos)
          << "debug asked again: " << seen;
    }
  }
}

#else  // _WIN32

LONGSQRT_POSIX_ONLY_TEST(CalcEndToEnd, ClosedStreamsFullDisksAndBadArgumentsLoseNothing,
                         LONGSQRT_NEEDS_DEVICES)
LONGSQRT_POSIX_ONLY_TEST(CalcEndToEnd, TwoRunsNeverShareALogNorRemoveAnothersLog, LONGSQRT_NEEDS_SHELL)
LONGSQRT_POSIX_ONLY_TEST(CalcEndToEnd, OnATerminalTheWaitTakesOneNewKeyAndGivesTheTerminalBack,
                         LONGSQRT_NEEDS_PTY)

#endif  // _WIN32

}  // namespace
