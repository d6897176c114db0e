// Tests of the platform layer's own functions, the same rows on POSIX and on
// Windows: terminals and consoles, which descriptors share a file, the
// processor count, the log's file operations and its hold, the erase of a
// kept line when Ctrl-C or a signal ends the run, and the console's code page.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "calc/platform/platform.h"
#include "calc_test_util.h"

#include <csignal>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Where an open that meets no held log says it did not.
bool ignored = false;

namespace platform = calc::platform;
using calc_test::TempDir;

// --- What each system gives a test to work with ------------------------------------

#ifdef _WIN32
const char* const kNullDevice = "NUL";

// Returns a descriptor on the process's console, or -1 without one.
int openConsole() {
  const HANDLE h = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  return h == INVALID_HANDLE_VALUE ? -1 : _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY);
}
void closeFd(int fd) { _close(fd); }

// Returns the processors the process may run on, as a mask; 0 when unknown.
unsigned long long affinity() {
  DWORD_PTR process = 0, system = 0;
  return GetProcessAffinityMask(GetCurrentProcess(), &process, &system) ? process : 0;
}
bool setAffinity(unsigned long long mask) {
  return SetProcessAffinityMask(GetCurrentProcess(), static_cast<DWORD_PTR>(mask)) != 0;
}
#else
const char* const kNullDevice = "/dev/null";

// The slave side of a pseudo-terminal, 40 columns wide, kept open with its master.
int ptyMaster = -1;
int openConsole() {
  ptyMaster = posix_openpt(O_RDWR | O_NOCTTY);
  if (ptyMaster < 0 || grantpt(ptyMaster) != 0 || unlockpt(ptyMaster) != 0) return -1;
  const winsize size = {24, 40, 0, 0};
  ioctl(ptyMaster, TIOCSWINSZ, &size);
  return open(ptsname(ptyMaster), O_RDWR | O_NOCTTY);
}
void closeFd(int fd) {
  close(fd);
  if (ptyMaster >= 0) close(ptyMaster);
  ptyMaster = -1;
}

#ifdef __linux__
unsigned long long affinity() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;
  unsigned long long mask = 0;
  for (int cpu = 0; cpu < 64; ++cpu)
    if (CPU_ISSET(cpu, &set)) mask |= 1ULL << cpu;
  return mask;
}
bool setAffinity(unsigned long long mask) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int cpu = 0; cpu < 64; ++cpu)
    if (mask >> cpu & 1) CPU_SET(cpu, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0;
}
#else
unsigned long long affinity() { return 0; }
bool setAffinity(unsigned long long) { return false; }
#endif
#endif

// Returns what the file at path holds, read through the platform's own reads.
std::string readThrough(const std::string& path) {
  const int fd = platform::openForReading(path.c_str());
  if (fd < 0) return "(cannot open)";
  std::string bytes;
  char buffer[7];  // less than a line: the reads must add up
  for (long long n; (n = platform::readSome(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  platform::closeDescriptor(fd);
  return bytes;
}

TEST(CalcPlatform, OnlyATerminalIsOneAndHasAWidth) {
  struct Row {
    const char* name;
    bool terminal;
  };
  TempDir dir;
  for (const Row& r :
       std::vector<Row>{{"a regular file", false}, {"the null device", false}, {"a terminal", true}}) {
    const std::string what = r.name;
    int fd = -1;
    if (what == "a terminal") {
      fd = openConsole();
      if (fd < 0) GTEST_SKIP() << "needs a terminal (a console on Windows)";
    } else if (what == "a regular file") {
      fd = platform::openForWriting(dir.log().c_str(), true, ignored);
    } else {
      fd = platform::openForWriting(kNullDevice, false, ignored);
    }
    ASSERT_GE(fd, 0) << what;
    EXPECT_EQ(platform::isTerminal(fd), r.terminal) << what;
    EXPECT_EQ(platform::terminalColumns(fd) > 0, r.terminal) << what;
#ifndef _WIN32
    if (r.terminal) {
      EXPECT_EQ(platform::terminalColumns(fd), 40);
    }
#endif
    // Off a terminal no locale makes the texts UTF-8.
    if (!r.terminal) {
      EXPECT_FALSE(platform::terminalSpeaksUtf8(fd)) << what;
    }
    closeFd(fd);
  }
}

TEST(CalcPlatform, SameFileTellsOpenFilesApart) {
  struct Row {
    const char* name;
    const char* second;  // the file the second descriptor reads
    bool same;
  };
  for (const Row& r :
       std::vector<Row>{{"one file, written and read", "log.txt", true}, {"two files", "other.txt", false}}) {
    TempDir dir;
    const std::string other = (dir.path / "other.txt").string();
    const int a = platform::openForWriting(dir.log().c_str(), true, ignored);
    const int c = platform::openForWriting(other.c_str(), true, ignored);
    const int b = platform::openForReading((dir.path / r.second).string().c_str());
    ASSERT_TRUE(a >= 0 && b >= 0 && c >= 0) << r.name;
    EXPECT_EQ(platform::sameFile(a, b), r.same) << r.name;
    EXPECT_EQ(platform::sameFile(b, a), r.same) << r.name;
    for (const int fd : {a, b, c}) platform::closeDescriptor(fd);
  }
}

TEST(CalcPlatform, ProcessorsAreThoseOfTheAffinityMask) {
  const unsigned long long all = affinity();
  if (all == 0) GTEST_SKIP() << "needs a settable processor affinity (Linux or Windows)";
  struct Row {
    unsigned long long mask;
    int count;
  };
  std::vector<Row> rows = {{all, __builtin_popcountll(all)}};
  for (int cpu = 0; cpu < 64; ++cpu)
    if (all >> cpu & 1) rows.push_back({1ULL << cpu, 1});
  if (__builtin_popcountll(all) > 2)
    rows.push_back({all & ~(all & (0 - all)), __builtin_popcountll(all) - 1});
  for (const Row& r : rows) {
    ASSERT_TRUE(setAffinity(r.mask)) << std::hex << r.mask;
    EXPECT_EQ(platform::processorsInAffinity(), r.count) << std::hex << r.mask;
  }
  ASSERT_TRUE(setAffinity(all));
  EXPECT_EQ(platform::processorsInAffinity(), __builtin_popcountll(all));
}

TEST(CalcPlatform, TheLogsFileIsHeldWrittenCutReadAndRemovedOnlyWhenEmpty) {
  TempDir dir;
  const std::string path = dir.log();
  const int fd = platform::openForWriting(path.c_str(), true, ignored);
  ASSERT_GE(fd, 0);
  // Created only once: the second creation finds it there.
  EXPECT_EQ(platform::openForWriting(path.c_str(), true, ignored), -1);
  EXPECT_EQ(errno, EEXIST);
  ASSERT_EQ(platform::holdExclusively(fd, path.c_str()), platform::Hold::held);
  // A second run is refused the held log: at its open (Windows) or its hold (POSIX).
  bool inUse = false;
  const int second = platform::openForWriting(path.c_str(), false, inUse);
  if (second < 0) {
    EXPECT_TRUE(inUse);
  } else {
    EXPECT_EQ(platform::holdExclusively(second, path.c_str()), platform::Hold::inUse);
    platform::closeDescriptor(second);
  }

  std::string storage;
  const std::string_view lines = platform::withSystemLineEnds("one\ntwo\n", 8, storage);
  EXPECT_EQ(lines, platform::kCrLfLineEnds ? "one\r\ntwo\r\n" : "one\ntwo\n");
  ASSERT_TRUE(platform::writeAll(fd, lines.data(), lines.size()));
  EXPECT_TRUE(platform::isRegularFile(fd));
  EXPECT_EQ(platform::fileSize(fd), static_cast<long long>(lines.size()));
  EXPECT_TRUE(platform::syncFile(fd));
  // Cut back, the file goes on from its new end.
  const long long firstLine = static_cast<long long>(lines.find('\n') + 1);
  ASSERT_TRUE(platform::cutTo(fd, firstLine));
  ASSERT_TRUE(platform::writeAll(fd, "3", 1));
  EXPECT_EQ(readThrough(path), std::string(lines.substr(0, firstLine)) + "3");
  ASSERT_TRUE(platform::seekTo(fd, 1));
  ASSERT_TRUE(platform::writeAll(fd, "N", 1));
  EXPECT_EQ(readThrough(path).substr(0, 2), "oN");
  // A full file stays at its close; an empty one it created goes.
  ASSERT_TRUE(platform::closeFile(fd, path.c_str(), true));
  EXPECT_TRUE(std::filesystem::exists(path));
  const int held = platform::openForWriting(path.c_str(), false, ignored);
  ASSERT_GE(held, 0);
  ASSERT_TRUE(platform::cutTo(held, 0));
  EXPECT_EQ(platform::fileSize(held), 0);
  ASSERT_TRUE(platform::closeFile(held, path.c_str(), true));
  EXPECT_FALSE(std::filesystem::exists(path));

  // A device keeps nothing: nothing to cut, and no regular file.
  const int device = platform::openForWriting(kNullDevice, false, ignored);
  ASSERT_GE(device, 0);
  EXPECT_FALSE(platform::isRegularFile(device));
  EXPECT_TRUE(platform::cutTo(device, 0));
  EXPECT_EQ(platform::holdExclusively(device, kNullDevice), platform::Hold::held);
  // (Never removeIfEmpty here: the null device is empty, and the test may run as root.)
  EXPECT_TRUE(platform::closeFile(device, kNullDevice, false));
}

// Keeps a line on the file at path, then has ev (Windows: a console event;
// POSIX: a signal) end the run: returns what the line's file got. On POSIX
// the run is a child, which the signal ends; on Windows a handler of the
// test's own, installed before the kept line's, takes the event after the
// line's handler has passed it on, so that the test goes on.
#ifdef _WIN32
HANDLE handled = nullptr;
BOOL WINAPI takeTheEvent(DWORD) {
  SetEvent(handled);
  return TRUE;
}
#endif

struct Ending {
  const char* name;
  int sig;              // POSIX
  unsigned long event;  // Windows
};

std::string eraseOnEnding(const Ending& e, const std::string& path, bool& ended) {
#ifdef _WIN32
  if (GetConsoleOutputCP() == 0) return "(no console)";
  handled = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  SetConsoleCtrlHandler(takeTheEvent, TRUE);
  const int fd = platform::openForWriting(path.c_str(), true, ignored);
  platform::keepLineThroughSignals(fd, "place 1 of 9", 12, 20, 3);
  GenerateConsoleCtrlEvent(e.event, 0);
  ended = WaitForSingleObject(handled, 10000) == WAIT_OBJECT_0;
  platform::stopKeepingLine();
  // Once the line is given up, the event erases nothing.
  GenerateConsoleCtrlEvent(e.event, 0);
  WaitForSingleObject(handled, 10000);
  SetConsoleCtrlHandler(takeTheEvent, FALSE);
  CloseHandle(handled);
  platform::closeDescriptor(fd);
#else
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = platform::openForWriting(path.c_str(), true, ignored);
    platform::keepLineThroughSignals(fd, "place 1 of 9", 12, 20, 3);
    raise(e.sig);
    _exit(0);
  }
  int status = 0;
  ended = pid > 0 && waitpid(pid, &status, 0) == pid && WIFSIGNALED(status) && WTERMSIG(status) == e.sig;
#endif
  return calc_test::readFile(path);
}

TEST(CalcPlatform, CtrlCAndSignalsEraseTheKeptLineAndEndTheRun) {
  // Windows has Ctrl-C twice: the second keeps a line again after the first gave it up
  // (Wine sends no Ctrl-Break to a console's processes).
#ifdef _WIN32
  const unsigned long ctrlC = CTRL_C_EVENT;
#else
  const unsigned long ctrlC = 0;
#endif
  for (const Ending& e :
       std::vector<Ending>{{"Ctrl-C, SIGINT", SIGINT, ctrlC}, {"SIGTERM", SIGTERM, ctrlC}}) {
    TempDir dir;
    bool ended = false;
    const std::string erased = eraseOnEnding(e, dir.log(), ended);
    if (erased == "(no console)") GTEST_SKIP() << "needs a console (Windows delivers Ctrl-C through it)";
    // Off a terminal the width is unknown: the whole erase width goes blank.
    EXPECT_EQ(erased, "\r" + std::string(20, ' ') + "\r") << e.name;
    EXPECT_TRUE(ended) << e.name << ": the event goes on to end the run";
  }
}

TEST(CalcPlatform, TheConsolesCodePageIsTheRunsWhileItLasts) {
#ifdef _WIN32
  const UINT before = GetConsoleOutputCP();
  if (before == 0) GTEST_SKIP() << "needs a console";
  struct Row {
    calc::Encoding encoding;
    UINT page;
    bool ctrlC;  // Ctrl-C meanwhile: the page is put back at once
  };
  for (const Row& r : std::vector<Row>{{calc::Encoding::big5, 950, false},
                                       {calc::Encoding::utf8, CP_UTF8, false},
                                       {calc::Encoding::utf8, CP_UTF8, true}}) {
    {
      handled = CreateEventA(nullptr, FALSE, FALSE, nullptr);
      SetConsoleCtrlHandler(takeTheEvent, TRUE);
      const platform::ConsoleCodePage page(r.encoding);
      EXPECT_EQ(GetConsoleOutputCP(), r.page);
      if (r.ctrlC) {
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        EXPECT_EQ(WaitForSingleObject(handled, 10000), WAIT_OBJECT_0);
        EXPECT_EQ(GetConsoleOutputCP(), before);
      }
    }
    SetConsoleCtrlHandler(takeTheEvent, FALSE);
    CloseHandle(handled);
    EXPECT_EQ(GetConsoleOutputCP(), before) << r.page;
  }
#else
  GTEST_SKIP() << "needs a Windows console: only it has a code page";
#endif
}

}  // namespace
