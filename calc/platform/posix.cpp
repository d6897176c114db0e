// The platform layer on POSIX systems: descriptors, terminals, signal
// handlers, the wait for a key, and the run log's file with its advisory lock.
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <pthread.h>
#include <sched.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <ostream>
#include <string>
#include <thread>

#include "calc/platform/internal.h"
#include "calc/platform/platform.h"

namespace calc::platform {

long long internal::writeSome(int fd, const char* p, std::size_t size) { return write(fd, p, size); }

void reserveStandardStreams() {
  // In descriptor order: open() returns the lowest free number, the closed one.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
      dup2(null, fd);
      close(null);
    }
  }
}

void failWritesInsteadOfSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

bool isTerminal(int fd) { return isatty(fd) != 0; }

bool terminalSpeaksUtf8(int fd) {
  if (!isatty(fd)) return false;
  // A locale object of its own, so that setting it changes nothing else.
  const locale_t ctype = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (ctype == static_cast<locale_t>(0)) return false;  // a locale the system does not have
  // An ASCII locale (C, POSIX, or none named) can show none of the texts;
  // the terminals it is found on (containers, ssh sessions without a
  // locale) show UTF-8, so it counts as UTF-8 here.
  const char* codeset = nl_langinfo_l(CODESET, ctype);
  bool utf8 = false;
  for (const char* name : {"UTF-8", "UTF8", "ANSI_X3.4-1968", "US-ASCII", "ASCII", "646"})
    utf8 = utf8 || (codeset != nullptr && strcasecmp(codeset, name) == 0);
  freelocale(ctype);
  return utf8;
}

int terminalColumns(int fd) {
  winsize size = {};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

namespace {

// The signals whose default action ends the process, by name, as far as this
// system defines them; the real-time signals come on top.
constexpr int kNamedEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE, SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS, SIGXFSZ,
#ifdef SIGPOLL  // SIGIO on Linux, where its default ends a process; elsewhere SIGIO is ignored by default
    SIGPOLL,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
};

// More signals than any system defines.
constexpr int kMostSignals = 128;

// Returns the set of signals, with every signal whose default action ends the
// process when ending: a handler that must clean up before the end takes
// them all, not a chosen few.
sigset_t signalSet(std::initializer_list<int> signals, bool ending) {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : signals) sigaddset(&set, sig);
  if (!ending) return set;
  for (const int sig : kNamedEndingSignals) sigaddset(&set, sig);
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigaddset(&set, sig);
#endif
  return set;
}

// Handlers put in place for some signals, and the actions they replaced.
class SignalHandlers {
 public:
  // Installs handler for each of signals that is still at its default action
  // (one ignored at start, as SIGHUP under nohup, stays ignored); every signal
  // in mask waits while it runs.
  void install(const sigset_t& signals, void (*handler)(int), const sigset_t& mask) {
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_mask = mask;
    for (int sig = 1; sig < kMostSignals && count_ < kMostSignals; ++sig) {
      if (sigismember(&signals, sig) != 1) continue;
      Replaced& r = replaced_[count_];
      // One the system keeps for itself, or one ignored or handled elsewhere,
      // stays as it is.
      if (sigaction(sig, nullptr, &r.previous) != 0) continue;
      if ((r.previous.sa_flags & SA_SIGINFO) != 0 || r.previous.sa_handler != SIG_DFL) continue;
      r.sig = sig;
      if (sigaction(sig, &action, nullptr) == 0) ++count_;
    }
  }
  // Puts back the actions install replaced.
  void restore() {
    for (int i = 0; i < count_; ++i) sigaction(replaced_[i].sig, &replaced_[i].previous, nullptr);
    count_ = 0;
  }

 private:
  struct Replaced {
    int sig;
    struct sigaction previous;
  };
  Replaced replaced_[kMostSignals];
  int count_ = 0;
};

// Lets sig, from inside its handler, take its default course: the process
// ends there, or it stops until it is continued. Returns when the process goes
// on, with the handler put back.
void takeDefaultCourse(int sig) {
  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  struct sigaction handler;
  if (sigaction(sig, &byDefault, &handler) != 0) return;
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(sig);  // delivered at once: ends or stops the process here
  sigaction(sig, &handler, nullptr);
}

// Returns true when the process's group has the foreground of fd's terminal:
// the screen is then the program's, not the shell's.
bool inForeground(int fd) { return tcgetpgrp(fd) == getpgrp(); }

// Keeps the line through a signal that ends or stops the process: erases it
// (for a stop only in the foreground), lets the signal take its course, and
// when the process goes on draws the line again.
extern "C" void eraseForSignal(int sig) {
  const int savedErrno = errno;
  const int fd = internal::keptLineFd();
  const bool stop = sig == SIGTSTP || sig == SIGTTIN || sig == SIGTTOU;
  if (!stop || inForeground(fd)) internal::writeErase();
  takeDefaultCourse(sig);
  if (inForeground(fd)) internal::writeRedraw();
  errno = savedErrno;
}

// Draws the line again when the process continues or its terminal is resized.
extern "C" void redrawForSignal(int) {
  const int savedErrno = errno;
  if (inForeground(internal::keptLineFd())) internal::writeRedraw();
  errno = savedErrno;
}

SignalHandlers lineHandlers;

// Ends the process for Ctrl-C, SIGTERM or SIGHUP with the note of an
// interrupted run: erases a kept line, writes the note, lets the signal end
// the process.
extern "C" void noteForSignal(int sig) {
  const int savedErrno = errno;
  internal::writeErase();
  internal::writeNote();
  takeDefaultCourse(sig);
  errno = savedErrno;
}

SignalHandlers noteHandlers;

}  // namespace

void internal::installLineHandlers() {
  const sigset_t mask = signalSet({SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT, SIGWINCH}, true);
  lineHandlers.install(signalSet({SIGTSTP, SIGTTIN, SIGTTOU}, true), eraseForSignal, mask);
  lineHandlers.install(signalSet({SIGCONT, SIGWINCH}, false), redrawForSignal, mask);
}

void internal::restoreLineHandlers() { lineHandlers.restore(); }

void internal::installNoteHandlers() {
  const sigset_t signals = signalSet({SIGINT, SIGTERM, SIGHUP}, false);
  noteHandlers.install(signals, noteForSignal,
                       signalSet({SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT, SIGWINCH}, true));
}

void internal::restoreNoteHandlers() { noteHandlers.restore(); }

namespace {

// The terminal as the wait found it, and as the wait uses it (one key at a
// time, unechoed); the handlers switch between the two. Both are filled in
// before any handler is installed.
struct termios savedSettings;
struct termios rawSettings;

// Gives the terminal back for a signal that ends or stops the process, lets
// the signal take its course, and when the process goes on (continued after
// Ctrl-Z) takes the terminal again for the wait.
extern "C" void giveTerminalBack(int sig) {
  const int savedErrno = errno;
  tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
  takeDefaultCourse(sig);
  tcsetattr(STDIN_FILENO, TCSANOW, &rawSettings);
  errno = savedErrno;
}

// Reads one key from the terminal on standard input, unbuffered and unechoed,
// dropping what was typed before, and gives the terminal back as it was.
void readOneKey() {
  if (tcgetattr(STDIN_FILENO, &savedSettings) != 0) return;
  rawSettings = savedSettings;
  rawSettings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  rawSettings.c_cc[VMIN] = 1;
  rawSettings.c_cc[VTIME] = 0;

  const sigset_t held = signalSet({SIGTSTP}, true);
  SignalHandlers handlers;
  handlers.install(held, giveTerminalBack, held);
  // TCSAFLUSH drops what was typed during the computation: only a key
  // pressed now ends the wait.
  if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &rawSettings) == 0) {
    char key;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
  }
  // The handlers go while their signals wait, and only then do those signals
  // meet the terminal as it was: a stop in between would take raw mode again
  // on continue, an ending signal find it still raw. Flushing drops the rest
  // of a multi-byte key (an arrow key's escape sequence).
  sigset_t before;
  sigprocmask(SIG_BLOCK, &held, &before);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
  handlers.restore();
  sigprocmask(SIG_SETMASK, &before, nullptr);
}

// Returns prompt as the terminal on fd reads it: in chosen, else in UTF-8 when
// the terminal speaks it and in Big5 otherwise.
const char* promptFor(int fd, const TextIn& prompt, std::optional<Encoding> chosen) {
  return prompt(chosen.value_or(terminalSpeaksUtf8(fd) ? Encoding::utf8 : Encoding::big5));
}

}  // namespace

void waitForKey(std::ostream& out, const TextIn& prompt, std::optional<Encoding> chosen) {
  if (!isatty(STDIN_FILENO)) return;
  // The prompt goes where the user looks: the console's standard output when
  // that is the terminal, otherwise straight to the terminal.
  int terminal = -1;
  if (isatty(STDOUT_FILENO)) {
    out << promptFor(STDOUT_FILENO, prompt, chosen) << std::flush;
  } else {
    terminal = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (terminal >= 0) {
      const char* text = promptFor(terminal, prompt, chosen);
      writeAll(terminal, text, std::strlen(text));
    }
  }

  readOneKey();

  if (terminal >= 0) {
    writeAll(terminal, "\n", 1);
    close(terminal);
  } else {
    out << std::endl;
  }
}

ConsoleCodePage::ConsoleCodePage(Encoding) {}

ConsoleCodePage::~ConsoleCodePage() = default;

// --- The run log's file -----------------------------------------------------------

int openForWriting(const char* path, bool create, bool& inUse) {
  inUse = false;
  // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead of
  // waiting for one; the descriptor then blocks as usual.
  const int fd =
      open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (create ? O_CREAT | O_EXCL : 0), 0666);
  if (fd < 0) return fd;
  const int flags = fcntl(fd, F_GETFL);
  if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
    const int e = errno;
    close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

namespace {
bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
}  // namespace

Hold holdExclusively(int fd, const char* path) {
  struct stat st;
  // A device or a FIFO keeps no records to spoil; its lock would be shared
  // with every program that uses it (every run whose log is /dev/null).
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return Hold::held;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // A file system without locks still takes a log.
    return errno == EWOULDBLOCK || errno == EAGAIN ? Hold::inUse : Hold::held;
  }
  // Between the open and the lock, another run may have removed the file or
  // put another in its place: the lock then holds nothing anyone else sees.
  struct stat named;
  return stat(path, &named) == 0 && sameFile(named, st) ? Hold::held : Hold::replaced;
}

int standardStreamOf(int fd) {
  struct stat log;
  if (fstat(fd, &log) != 0 || !(S_ISREG(log.st_mode) || S_ISFIFO(log.st_mode) || S_ISSOCK(log.st_mode)))
    return -1;
  for (int standard = STDIN_FILENO; standard <= STDERR_FILENO; ++standard) {
    struct stat st;
    if (fstat(standard, &st) == 0 && sameFile(st, log)) return standard;
  }
  return -1;
}

bool isDanglingLink(const char* path) {
  struct stat st;
  return lstat(path, &st) == 0 && S_ISLNK(st.st_mode) && stat(path, &st) != 0 && errno == ENOENT;
}

bool cutTo(int fd, long long size) {
  struct stat st;
  if (fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) return true;
  return ftruncate(fd, size) == 0 && lseek(fd, size, SEEK_SET) == size;
}

bool closeFile(int fd, const char* path, bool removeIfEmpty) {
  // The lock, held until the close, keeps every other run from taking the
  // file while it is removed.
  struct stat held, named;
  if (removeIfEmpty && fstat(fd, &held) == 0 && held.st_size == 0 && lstat(path, &named) == 0 &&
      sameFile(named, held))
    unlink(path);
  return close(fd) == 0;
}

std::string_view withSystemLineEnds(const char* data, std::size_t size, std::string&) { return {data, size}; }

const bool kCrLfLineEnds = false;

bool isRegularFile(int fd) {
  struct stat st;
  return fstat(fd, &st) != 0 || S_ISREG(st.st_mode);
}

long long fileSize(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? st.st_size : -1;
}

bool seekTo(int fd, long long at) { return lseek(fd, at, SEEK_SET) == at; }

bool syncFile(int fd) {
  int r;
#if defined(_POSIX_SYNCHRONIZED_IO) && _POSIX_SYNCHRONIZED_IO > 0
  // The data and what reading it back needs (its size), not the file's times.
  while ((r = fdatasync(fd)) != 0 && errno == EINTR) {
  }
#else
  while ((r = fsync(fd)) != 0 && errno == EINTR) {
  }
#endif
  return r == 0;
}

void syncDirectoryOf(const char* path) {
  const char* slash = std::strrchr(path, '/');
  const std::string dir = slash == nullptr ? "." : slash == path ? "/" : std::string(path, slash);
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

int openForReading(const char* path) { return open(path, O_RDONLY | O_NOCTTY | O_CLOEXEC); }

long long readSome(int fd, char* p, std::size_t size) {
  long long n;
  while ((n = read(fd, p, size)) < 0 && errno == EINTR) {
  }
  return n;
}

void closeDescriptor(int fd) { close(fd); }

bool sameFile(int a, int b) {
  struct stat sa, sb;
  return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sameFile(sa, sb);
}

std::string commandWord(const std::string& word) {
  const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_./-+,:@%=", c) != nullptr;
  });
  if (plain) return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int processorsInAffinity() {
#ifdef __linux__
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
  return static_cast<int>(std::thread::hardware_concurrency());
}

void withSignalsBlocked(const std::function<void()>& start) {
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    start();
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace calc::platform
