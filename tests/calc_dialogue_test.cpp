// Tests of the calculator driven in memory: the answers it accepts and
// refuses, the integer-part search, and a log that fails mid-run.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "bigint/limb_loops.h"
#include "calc/calculator.h"
#include "calc/console_notes.h"
#include "calc/digit_loop.h"
#include "calc/options.h"
#include "calc/thread_pool.h"
#include "calc_test_util.h"
#include "failing_allocator.h"

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

// Runs the dialogue on the answers with the log at logPath, services and the
// candidates judged on threads threads; setUp may change the console further.
Outcome runDialogue(const std::string& answers, const std::string& logPath, bool terminal = false,
                    const calc::Services& services = {},
                    const std::function<void(calc::Console&)>& setUp = nullptr, int threads = 1) {
  std::istringstream in(answers);
  std::ostringstream out, err;
  Outcome o;
  calc::Console console{in, out, err, [&o] { ++o.waits; }, std::nullopt};
  console.inIsTerminal = terminal;
  if (setUp) setUp(console);
  calc::ProgramState state;
  calc::Options options;
  options.logPath = logPath;
  options.threads = threads;
  o.status = calc::run(state, console, options, services);
  o.out = out.str();
  o.err = err.str();
  o.log = readFile(logPath);
  o.texts = state.texts;
  return o;
}

TEST(CalcDialogue, AnswersAreTakenRefusedOrAskedAgain) {
  struct Case {
    const char* answers;
    bool terminal;                   // an unusable answer is asked again
    std::vector<const Text*> asked;  // the prompts, in order
    std::vector<const Text*> refusals;
    int32_t no = -1;  // the radicand of a run that computes; -1 when refused
    int64_t places = 0;
  };
  const Text *d = &kAskDebug, *n = &kAskNo, *l = &kAskLength;
  const std::vector<Case> cases = {
      {"", false, {d}, {&kEndedBeforeDebug}},
      {" \n\t", false, {d}, {&kEndedBeforeDebug}},
      {"x\n", false, {d}, {&kBadDebug}},
      {"2\n2\n2\n", false, {d}, {&kBadDebug}},
      {"-1\n", false, {d}, {&kBadDebug}},
      {"1.5\n2\n", false, {d}, {&kBadDebug}},
      {"1", false, {d, n}, {&kEndedBeforeNo}},
      {"0\nabc\n", false, {d, n}, {&kBadNo}},
      {"0\n2147483648\n", false, {d, n}, {&kBadNo}},
      {"0\n-1\n2\n", false, {d, n}, {&kBadNo}},
      {"0\n-2147483648\n", false, {d, n}, {&kBadNo}},
      {"0\n12abc\n2\n", false, {d, n}, {&kBadNo}},
      {"0\n2", false, {d, n, l}, {&kEndedBeforeLength}},
      {"0\n2\nx\n", false, {d, n, l}, {&kBadLength}},
      {"0\n2\n2147483648\n", false, {d, n, l}, {&kBadLength}},
      {"0\n2\n-2147483649\n", false, {d, n, l}, {&kBadLength}},
      {"0\n2\n3.5\n", false, {d, n, l}, {&kBadLength}},
      {"0 2 2", false, {d, n, l}, {}, 2, 2},  // one line, no final line end
      {"  0\n\n 2147483647\t1\n", false, {d, n, l}, {}, 2147483647, 1},
      {"+0\n+9\n3\n", false, {d, n, l}, {}, 9, 3},
      // On a terminal the rest of a refused line is dropped and the question asked again.
      {"x y\n0\n-4 5\n9\n12abc\n2\n", true, {d, d, n, n, l, l}, {&kBadDebug, &kBadNo, &kBadLength}, 9, 2},
      {"2\n", true, {d, d}, {&kBadDebug, &kEndedBeforeDebug}},
      {"0\n2\nx", true, {d, n, l, l}, {&kBadLength, &kEndedBeforeLength}},
  };
  const std::string before = "left by an earlier run\n";
  for (const Case& c : cases) {
    TempDir dir;
    std::ofstream(dir.log(), std::ios::binary) << before;
    const Outcome o = runDialogue(c.answers, dir.log(), c.terminal);
    std::string out, err;
    for (const Text* t : c.asked) out += t->big5;
    for (const Text* t : c.refusals) err += std::string(t->big5) + "\n";
    const bool computes = c.no >= 0;
    if (computes)
      out +=
          std::string(kComputing.big5) + "\n" + kInput + std::to_string(c.no) + "\n" + kFinished.big5 + "\n";
    EXPECT_EQ(o.status, computes ? 0 : 1) << c.answers;
    EXPECT_EQ(o.out, out) << c.answers;
    EXPECT_EQ(o.err, err) << c.answers;
    EXPECT_EQ(o.waits, 1) << c.answers;
    // A refused run leaves the earlier log as it was.
    EXPECT_EQ(o.log, computes ? asLogFile(expectedLog(c.no, c.places)) : before) << c.answers;
  }
  // Nor does it leave a log where there was none.
  TempDir dir;
  EXPECT_EQ(runDialogue("x\n", dir.log()).status, 1);
  EXPECT_FALSE(fs::exists(dir.log()));
}

TEST(CalcDialogue, UnopenableLogIsRefusedBeforeAnyQuestion) {
  TempDir dir;
  fs::create_directory(dir.log());
  const Outcome o = runDialogue("0\n2\n2\n", dir.log());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  // Windows refuses to open a folder as it refuses a file it may not write.
#ifdef _WIN32
  const int folder = EACCES;
#else
  const int folder = EISDIR;
#endif
  EXPECT_EQ(o.err, named(kLogOpenFailed, calc::printable(dir.log())) + ": " + std::strerror(folder) + "\n");
  EXPECT_EQ(o.waits, 1);
}

// A log that records every write it is given and, in syncs, how many writes
// each sync followed; it can run out of memory at its n-th write and fail
// with an error number when it is synced or closed.
class RecordingSink : public calc::LogSink {
 public:
  explicit RecordingSink(std::vector<std::string>& writes, int closeError = 0, size_t throwAt = 0,
                         int syncError = 0, std::vector<size_t>* syncs = nullptr)
      : writes_(writes), closeError_(closeError), throwAt_(throwAt), syncError_(syncError), syncs_(syncs) {}
  bool sync() override {
    if (syncs_) syncs_->push_back(writes_.size());
    error_ = syncError_;
    return syncError_ == 0;
  }
  bool write(const char* data, size_t size) override {
    if (writes_.size() + 1 == throwAt_) throw std::bad_alloc();
    writes_.emplace_back(data, size);
    return true;
  }
  bool truncate() override { return true; }
  bool close(bool) override {
    error_ = closeError_;
    return closeError_ == 0;
  }

 private:
  std::vector<std::string>& writes_;
  int closeError_;
  size_t throwAt_;
  int syncError_;
  std::vector<size_t>* syncs_;
};

TEST(CalcLog, EachLineReachesTheFileWholeInOneWrite) {
  std::vector<std::string> writes;
  std::vector<size_t> syncs;
  calc::LogFile log;
  ASSERT_TRUE(log.open("log.txt", [&](const char*, calc::LogError&) {
    return std::make_unique<RecordingSink>(writes, 0, 0, 0, &syncs);
  }));
  // A second passes at every line: the file reaches the disk after every
  // tenth, and before it is closed.
  int seconds = 0;
  log.syncEvery(std::chrono::seconds(10),
                [&] { return std::chrono::steady_clock::time_point() + std::chrono::seconds(seconds++); });
  const std::string longLine(100000, '7');  // far longer than any stream buffer
  log << longLine << std::endl;
  calc::RootTexts texts{"2", "1", "1."};
  ASSERT_TRUE(calc::digitLoop(2, 2, true, log, texts));
  ASSERT_TRUE(log.close());
  const std::string golden = readFile(std::string(LONGSQRT_TEST_DATA) + "/debug1_no2_length2.log");
  std::string joined;
  for (const std::string& w : writes) {
    EXPECT_EQ(w.find('\n'), w.size() - 1) << w;  // one line, with its end
    joined += w;
  }
  EXPECT_EQ(joined, longLine + "\n" + golden);
  EXPECT_EQ(syncs, (std::vector<size_t>{10, 20, 30, 40, 40}));
}

TEST(CalcLog, ALineMemoryCannotHoldFailsTheLogAndReachesNoFile) {
  std::vector<std::string> writes;
  calc::LogFile log;
  ASSERT_TRUE(log.open(
      "log.txt", [&](const char*, calc::LogError&) { return std::make_unique<RecordingSink>(writes); }));
  failing_allocator::allocationsUntilFailure = 1;  // the buffer's first growth
  log << "7" << std::endl;
  failing_allocator::allocationsUntilFailure = 0;
  EXPECT_FALSE(log.close());
  EXPECT_EQ(log.error(), ENOMEM);
  EXPECT_TRUE(writes.empty());
}

TEST(CalcLog, FaultsStopTheRunWithTheirReasonAndWholeLines) {
  struct Case {
    const char* name;
    const char* answers;
    int closeError;    // the error number of the log's close; 0: it succeeds
    size_t throwAt;    // the log write that runs out of memory; 0: none
    int throwAtPlace;  // the place after which the progress runs out of memory; 0: none
    int readError;     // the error number of reading the answers; 0: none
    int syncError;     // the error number of syncing the log to the disk; 0: none
    std::string err;
    size_t writes;    // the lines that reached the log
    int threads = 1;  // the threads that judge the candidates
  };
  const std::string noMemory = std::string(kOutOfMemory.big5) + "\n";
  const std::vector<Case> cases = {
      {"only the close fails", "0\n2\n2\n", EIO, 0, 0, 0, 0,
       named(kLogWriteFailed) + ": " + std::strerror(EIO) + "\n", 6},
      {"only the sync fails", "0\n2\n2\n", 0, 0, 0, 0, EIO,
       named(kLogWriteFailed) + ": " + std::strerror(EIO) + "\n", 6},
      {"only the close fails, 3 threads", "1\n2\n2\n", EIO, 0, 0, 0, 0,
       named(kLogWriteFailed) + ": " + std::strerror(EIO) + "\n", 39, 3},
      {"memory runs out in a write", "0\n2\n2\n", 0, 3, 0, 0, 0, noMemory, 2},
      {"memory runs out in a write, 7 threads", "1\n2\n9\n", 0, 25, 0, 0, 0, noMemory, 24, 7},
      {"memory runs out in the computation", "0\n2\n3\n", 0, 0, 2, 0, 0, noMemory, 6},
      {"memory runs out in the computation, 2 threads", "0\n2\n3\n", 0, 0, 2, 0, 0, noMemory, 6, 2},
      {"the answers cannot be read", "", 0, 0, 0, EIO, 0,
       std::string(kReadFailed.big5) + ": " + std::strerror(EIO) + "\n", 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> writes;
    int clockCalls = 0;
    const auto setUp = [&](calc::Console& console) {
      console.inputError = [&c] { return c.readError; };
      console.errTerminal.emplace(calc::platform::Terminal{console.err, -1, nullptr});
    };
    calc::Services services;
    // The progress asks the time once at the start and once after each place.
    services.clock = [&] {
      if (++clockCalls == c.throwAtPlace + 1 && c.throwAtPlace != 0) throw std::bad_alloc();
      return std::chrono::steady_clock::time_point();
    };
    services.openLog = [&](const char*, calc::LogError&) {
      return std::make_unique<RecordingSink>(writes, c.closeError, c.throwAt, c.syncError);
    };
    // The sink stands for the file: no file is made.
    const Outcome o = runDialogue(c.answers, "log.txt", false, services, setUp, c.threads);
    EXPECT_EQ(o.status, 1) << c.name;
    EXPECT_EQ(o.err, c.err) << c.name;
    EXPECT_EQ(o.out.find(kFinished.big5), std::string::npos) << c.name;
    EXPECT_EQ(o.waits, 1) << c.name;
    EXPECT_EQ(writes.size(), c.writes) << c.name;
    for (const std::string& w : writes) EXPECT_EQ(w.back(), '\n') << c.name;
  }
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
  using calc::Encoding;
  for (const int threads : {1, 3}) {
    // Without traces: limit cuts the log inside record p + 1 (or right after
    // p), so the loop computes p + 1 places and gives up.
    const std::string plain = expectedLog(2, 8);
    for (size_t p = 0; p < 4; ++p) {
      for (const size_t extra : {size_t{0}, size_t{7}}) {
        const size_t limit = expectedLog(2, static_cast<int64_t>(p)).size() + extra;
        FailingBuffer buffer(limit);
        std::ostream log(&buffer);
        calc::RootTexts texts{"2", "1", "1."};
        EXPECT_FALSE(calc::digitLoop(2, 50, false, log, texts, nullptr, Encoding::big5, 1, threads)) << limit;
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
      EXPECT_FALSE(calc::digitLoop(2, 50, true, log, texts, nullptr, Encoding::big5, 1, threads)) << limit;
      EXPECT_LE(texts.resultText.size(), 4u) << limit;
      EXPECT_EQ(buffer.written, traced.substr(0, limit));
    }
  }
}

TEST(CalcDigitLoop, EveryThreadCountWritesTheSameBytes) {
  struct Case {
    const char* answers;
    const char* what;
  };
  const std::vector<Case> cases = {
      {"1\n2\n40\n", "traces"},
      {"0\n99\n60\n", "digit 9 places"},
      {"1\n99\n12\n", "digit 9 places, traces"},
      {"1\n0\n6\n", "no 0"},
      {"0\n2147483647\n300\n", "a long no, values past 32 limbs"},
      {"1\n2147483647\n45\n", "a long no, traces"},
      {"0\n2\n0\n", "no place"},
  };
  for (const Case& c : cases) {
    for (const calc::Encoding e : {calc::Encoding::big5, calc::Encoding::utf8}) {
      const auto setUp = [e](calc::Console& console) { console.encodings = {e, e, e}; };
      TempDir one;
      const Outcome alone = runDialogue(c.answers, one.log(), false, {}, setUp, 1);
      ASSERT_EQ(alone.status, 0) << c.what;
      for (const int threads : {2, 3, 7}) {
        TempDir dir;
        const Outcome o = runDialogue(c.answers, dir.log(), false, {}, setUp, threads);
        const std::string what = std::string(c.what) + ", " + std::to_string(threads) + " threads";
        EXPECT_EQ(o.status, 0) << what;
        EXPECT_EQ(o.log, alone.log) << what;
        EXPECT_EQ(o.out, alone.out) << what;
        EXPECT_EQ(o.err, alone.err) << what;
        EXPECT_EQ(o.texts.noScaled, alone.texts.noScaled) << what;
      }
    }
  }
}

}  // namespace

namespace {

TEST(CalcOptions, ArgumentsRunAnswerOrAreRefused) {
  struct Case {
    std::vector<const char*> args;
    int status;  // -1: the run goes on
    std::optional<calc::Encoding> encoding;
    const char* out;  // the start of what goes to standard output
    const char* err;
    bool outFails = false;           // standard output takes nothing (a full disk)
    const char* parsed = "log.txt";  // the log's path, then " resume" or " check" when asked
    std::optional<int> threads = std::nullopt;
    const char* outEnd = "";  // the end of what goes to standard output
  };
  const std::optional<calc::Encoding> big5 = calc::Encoding::big5, utf8 = calc::Encoding::utf8, none;
  const char* exclusive = "longsqrt: --big5 and --utf8 exclude each other (see longsqrt --help)\n";
  const char* usage = "Usage: longsqrt [--big5 | --utf8] [--log FILE] [--resume] [--threads N]\n";
  const auto badThreads = [](const std::string& value) {
    return "longsqrt: --threads takes a number from 1 to 64, not '" + value + "' (see longsqrt --help)\n";
  };
  const std::string t0 = badThreads("0"), t65 = badThreads("65"), tPlus = badThreads("+2"),
                    tEmpty = badThreads(""), tSpace = badThreads("2 "), tLong = badThreads("99999999999");
  const std::vector<Case> cases = {
      {{}, -1, none, "", ""},
      {{"--utf8"}, -1, utf8, "", ""},
      {{"--big5"}, -1, big5, "", ""},
      {{"--big5", "--big5"}, -1, big5, "", ""},
      {{"--help"}, 0, none, usage, ""},
      {{"-h"}, 0, none, usage, ""},
      {{"--log", "run 1.txt", "--resume"}, -1, none, "", "", false, "run 1.txt resume"},
      {{"--check", "--log=-x"}, -1, none, "", "", false, "-x check"},
      {{"--log"}, 2, none, "", "longsqrt: --log needs a file name (see longsqrt --help)\n"},
      {{"--log", ""}, 2, none, "", "longsqrt: --log needs a file name (see longsqrt --help)\n"},
      {{"--log="}, 2, none, "", "longsqrt: --log needs a file name (see longsqrt --help)\n"},
      {{"--resume", "--check"},
       2,
       none,
       "",
       "longsqrt: --resume and --check exclude each other (see longsqrt --help)\n",
       false,
       "log.txt resume check"},
      {{"--utf8", "--version"},
       0,
       utf8,
       "longsqrt " LONGSQRT_VERSION "\nlimb loops: ",
       "",
       false,
       "log.txt",
       std::nullopt,
       "\nCopyright (C) 2026 The longsqrt authors.\nLicense MIT: <https://opensource.org/licenses/MIT>.\n"
       "This is free software: you are free to change and redistribute it.\n"
       "There is NO WARRANTY, to the extent permitted by law.\n"},
      {{"--threads", "1"}, -1, none, "", "", false, "log.txt", 1},
      {{"--threads=64", "--utf8"}, -1, utf8, "", "", false, "log.txt", 64},
      {{"--threads", "3", "--threads=07"}, -1, none, "", "", false, "log.txt", 7},
      {{"--threads", "0"}, 2, none, "", t0.c_str()},
      {{"--threads=65"}, 2, none, "", t65.c_str()},
      {{"--threads", "+2"}, 2, none, "", tPlus.c_str()},
      {{"--threads="}, 2, none, "", tEmpty.c_str()},
      {{"--threads", "2 "}, 2, none, "", tSpace.c_str()},
      {{"--threads", "99999999999"}, 2, none, "", tLong.c_str()},
      {{"--threads"}, 2, none, "", "longsqrt: --threads needs a number from 1 to 64 (see longsqrt --help)\n"},
      {{"--threadsx"}, 2, none, "", "longsqrt: unknown argument '--threadsx' (see longsqrt --help)\n"},
      {{"--bogus"}, 2, none, "", "longsqrt: unknown argument '--bogus' (see longsqrt --help)\n"},
      {{"--help", "-x"}, 2, none, "", "longsqrt: unknown argument '-x' (see longsqrt --help)\n"},
      {{"--UTF8"}, 2, none, "", "longsqrt: unknown argument '--UTF8' (see longsqrt --help)\n"},
      {{"--big5", "--utf8"}, 2, big5, "", exclusive},
      {{"--utf8", "--help", "--big5"}, 2, utf8, "", exclusive},
      // Control bytes and invalid UTF-8 are shown as escapes, never sent to the terminal.
      {{"\x1b[?1049h\t\\"},
       2,
       none,
       "",
       "longsqrt: NO must be an integer from 0 to 2147483647, not '\\e[?1049h\\t\\\\' (see longsqrt "
       "--help)\n"},
      {{"\x9b"
        "2J\xc2\x9b\xc3\xa9\xc2\xa9\xe4\xb8\xad\xf0\x9f\x98\x80\xe9\xc0\xaf\xed\xa0\x80\x7f"},
       2,
       none,
       "",
       "longsqrt: NO must be an integer from 0 to 2147483647, not "
       "'\\x9b2J\\xc2\\x9b\xc3\xa9\xc2\xa9\xe4\xb8\xad\xf0\x9f\x98\x80\\xe9\\xc0\\xaf\\xed\\xa0\\x80\\x7f' "
       "(see "
       "longsqrt --help)\n"},
      // The last lead byte of a four-byte sequence (F4, up to U+10FFFF) is shown;
      // past U+10FFFF, and from F5 on, every byte is an escape.
      {{"\xf4\x8f\xbf\xbf"
        "\xf4\x90\x80\x80\xf5\x80\x80\x80"},
       2,
       none,
       "",
       "longsqrt: NO must be an integer from 0 to 2147483647, not '\xf4\x8f\xbf\xbf"
       "\\xf4\\x90\\x80\\x80\\xf5\\x80\\x80\\x80' (see longsqrt --help)\n"},
      {{"--help"}, 1, none, "", "longsqrt: write error\n", true},
      {{"--version"}, 1, none, "", "longsqrt: write error\n", true},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"longsqrt"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::ostringstream out, err;
    if (c.outFails) out.setstate(std::ios::badbit);
    calc::Options options;
    const std::string what = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(
        calc::parseArguments(static_cast<int>(argv.size()), argv.data(), out, err, options).value_or(-1),
        c.status)
        << what;
    EXPECT_EQ(options.encoding, c.encoding) << what;
    EXPECT_EQ(options.threads, c.threads) << what;
    EXPECT_EQ(options.logPath + (options.resume ? " resume" : "") + (options.check ? " check" : ""), c.parsed)
        << what;
    EXPECT_EQ(out.str().substr(0, std::strlen(c.out)), c.out) << what;
    EXPECT_EQ(out.str().empty(), *c.out == '\0') << what;
    const std::size_t endSize = std::min(out.str().size(), std::strlen(c.outEnd));
    EXPECT_EQ(out.str().substr(out.str().size() - endSize), c.outEnd) << what;
    EXPECT_EQ(err.str(), c.err) << what;
    // Both answers name the default thread count.
    if (c.status == 0) {
      EXPECT_NE(out.str().find(std::to_string(calc::defaultThreads()) + "\n"), std::string::npos) << what;
    }
    // Whatever it shows, the usage stays readable on any terminal: ASCII only.
    for (const char ch : out.str()) EXPECT_LT(static_cast<unsigned char>(ch), 0x80u) << what;
  }
}

TEST(CalcNotes, AnInterruptedRunNamesTheCommandThatContinuesIt) {
  struct Case {
    std::vector<const char*> args;
    std::string command;
  };
  // The path is quoted as this system's shell reads it.
#ifdef _WIN32
  const char *spaced = "\"my log.txt\"", *apostrophe = "a'b";
#else
  const char *spaced = "'my log.txt'", *apostrophe = "'a'\\''b'";
#endif
  const std::vector<Case> cases = {
      {{}, "longsqrt --resume"},
      {{"--utf8", "--log", "my log.txt", "--threads", "3"},
       std::string("longsqrt --resume --utf8 --log ") + spaced},
      {{"--debug", "--log=a'b", "2", "10"},
       std::string("longsqrt --resume --log ") + apostrophe + " --debug 2 10"},
      {{"--big5", "--log", "runs/2.log", "99", "-4"}, "longsqrt --resume --big5 --log runs/2.log 99 -4"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"longsqrt"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::ostringstream out, err;
    calc::Options options;
    ASSERT_FALSE(calc::parseArguments(static_cast<int>(argv.size()), argv.data(), out, err, options))
        << err.str();
    EXPECT_EQ(calc::resumeCommand(options), c.command);
  }
  // A run sets the note after every place the log holds whole, and takes it
  // back when it stops computing.
  std::vector<std::string> notes;
  const auto noting = [&notes](calc::Console& console) {
    console.noteOnInterrupt = [&notes](const std::string& note) { notes.push_back(note); };
  };
  TempDir dir;
  ASSERT_EQ(runDialogue("0\n2\n3\n", dir.log(), false, {}, noting).status, 0);
  const std::string answered = std::string(kAnswerAgain.big5) + "0, 2, 3\n";
  std::vector<std::string> expected;
  for (const char* places : {"1", "2", "3"}) {
    // A path is shown as every message shows it.
    const std::string shown = calc::printable(dir.log());
    expected.push_back(named(kInterrupted, shown) + places + kInterruptedPlaces.big5 +
                       "longsqrt --resume --log " + shown + answered);
  }
  expected.push_back("");
  EXPECT_EQ(notes, expected);
}

TEST(CalcOptions, LimbLoopsTakeTheNamedPathOrAreRefused) {
  const magnitude::Path fastest = magnitude::supportedPaths().back();
  const bool avx2 = fastest == magnitude::Path::avx2;
  struct Case {
    const char* name;
    int status;
    magnitude::Path path;
    const char* err;
  };
  const std::vector<Case> cases = {
      {nullptr, -1, fastest, ""},
      {"", -1, fastest, ""},
      {"scalar", -1, magnitude::Path::scalar, ""},
      {"avx2", avx2 ? -1 : 2, fastest,
       avx2 ? "" : "longsqrt: LONGSQRT_LIMB_LOOPS=avx2: this processor does not run that path\n"},
      {"AVX2", 2, fastest, "longsqrt: LONGSQRT_LIMB_LOOPS=AVX2: no such path (scalar or avx2)\n"},
  };
  for (const Case& c : cases) {
    magnitude::usePath(fastest);
    std::ostringstream err;
    const std::string what = c.name ? c.name : "(unset)";
    EXPECT_EQ(calc::chooseLimbLoops(c.name, err).value_or(-1), c.status) << what;
    EXPECT_EQ(magnitude::activePath(), c.path) << what;
    EXPECT_EQ(err.str(), c.err) << what;
  }
  magnitude::usePath(fastest);
}

TEST(CalcTexts, EachUtf8FormIsItsBig5FormConverted) {
  for (const Text* t : kAll) EXPECT_EQ(toUtf8(t->big5), t->utf8);
}

}  // namespace
