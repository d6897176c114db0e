// The platform layer: standard descriptors, terminal tests, the line kept
// through signals, the wait for a key and the console code page, for POSIX
// systems and for Windows.
#include "calc/platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace calc::platform {

namespace {

// Writes size bytes at p to fd, all of them if the system allows, retrying
// after interruptions. Safe in a signal handler.
void writeAll(int fd, const char* p, std::size_t size) {
  while (size > 0) {
#ifdef _WIN32
    const int n = _write(fd, p, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
#else
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n <= 0) return;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

// --- The line kept through signals ------------------------------------------------

// What the handlers write: the erase ("\r" and blanks; a "\r" follows) and the
// line a redraw shows. Two sets, so that a draw fills one while a handler
// reads the other whole; a handler allocates and formats nothing. On Windows
// the handler runs on a thread of its own, so a reader marks the set it reads
// and a draw waits for that mark to go before refilling it.
constexpr std::size_t kMostColumns = 510;
struct LineBytes {
  char erase[kMostColumns + 1];
  std::size_t blanks;
  char line[kMostColumns];
  std::size_t lineSize;
};
LineBytes lineBytes[2];
std::atomic<int> publishedSet{0};
std::atomic<int> readersOf[2] = {};
std::atomic<int> lineFd{-1};
std::atomic<int> lineMargin{0};
std::atomic<bool> clearBelow{false};  // whether a redraw may clear to the end of the screen
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the handlers read these without locks");

// Returns the set of bytes published now, marked as being read.
int startReading() {
  for (;;) {
    const int set = publishedSet.load();
    readersOf[set].fetch_add(1);
    if (publishedSet.load() == set) return set;  // not refilled since: it stays so until released
    readersOf[set].fetch_sub(1);
  }
}

// Returns the columns of fd's terminal now, or 0 when it does not tell.
std::size_t columnsNow(int fd) { return static_cast<std::size_t>(std::max(terminalColumns(fd), 0)); }

// Writes "\r", the blanks (no more than reach the last column but one of the
// terminal as it is now) and "\r".
void writeErase() {
  const int fd = lineFd.load();
  if (fd < 0) return;
  const int set = startReading();
  const LineBytes& bytes = lineBytes[set];
  const std::size_t columns = columnsNow(fd);
  const std::size_t blanks = columns > 0 ? std::min(bytes.blanks, columns - 1) : bytes.blanks;
  writeAll(fd, bytes.erase, 1 + blanks);
  writeAll(fd, "\r", 1);
  readersOf[set].fetch_sub(1);
}

// Puts the handlers in place that keep the line, and puts them back.
void installLineHandlers();
void restoreLineHandlers();

}  // namespace

void keepLineThroughSignals(int fd, const char* line, std::size_t size, std::size_t eraseWidth, int margin) {
  const int next = 1 - publishedSet.load();
  while (readersOf[next].load() != 0) {
    // A handler on another thread is still writing these bytes (Windows).
  }
  LineBytes& bytes = lineBytes[next];
  bytes.blanks = std::min(eraseWidth, kMostColumns);
  bytes.erase[0] = '\r';
  std::memset(bytes.erase + 1, ' ', bytes.blanks);
  bytes.lineSize = std::min(size, kMostColumns);
  std::memcpy(bytes.line, line, bytes.lineSize);
  publishedSet.store(next);
  if (lineFd.load() < 0) {
    lineMargin.store(margin);
    const char* term = std::getenv("TERM");
    clearBelow.store(term == nullptr || std::strcmp(term, "dumb") != 0);
    lineFd.store(fd);
    installLineHandlers();
  }
}

void stopKeepingLine() {
  if (lineFd.load() < 0) return;
  restoreLineHandlers();
  lineFd.store(-1);
}

int standardInputError() {
  // The stream's error flag says that a read failed; errno still holds why.
  return std::ferror(stdin) ? (errno != 0 ? errno : EIO) : 0;
}

#ifdef _WIN32

void failWritesInsteadOfSignals() {}

void reserveStandardStreams() {
  struct Standard {
    DWORD id;
    FILE* stream;
    const char* mode;
  };
  // In descriptor order, so that each reopened stream takes its own number.
  for (const Standard& s : {Standard{STD_INPUT_HANDLE, stdin, "r"}, Standard{STD_OUTPUT_HANDLE, stdout, "w"},
                            Standard{STD_ERROR_HANDLE, stderr, "w"}}) {
    const HANDLE h = GetStdHandle(s.id);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || _fileno(s.stream) < 0) {
      FILE* reopened = nullptr;
      freopen_s(&reopened, "NUL", s.mode, s.stream);
    }
  }
}

namespace {
// Returns true when fd is a console: _isatty is true for every character
// device, the NUL device among them, and only a console has a console mode.
bool isConsole(int fd) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}
}  // namespace

bool standardInputIsTerminal() { return isConsole(_fileno(stdin)); }

bool standardErrorIsTerminal() { return isConsole(_fileno(stderr)); }

bool terminalSpeaksUtf8(int) { return false; }

int terminalColumns(int fd) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

namespace {

// Erases the line on Ctrl-C and Ctrl-Break, then passes the event on: the
// next handler, by default the system's, ends the process as it always does.
// It runs on a thread of its own, beside the program.
BOOL WINAPI eraseAndPassOn(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) writeErase();
  return FALSE;
}

bool replaced = false;

void installLineHandlers() { replaced = SetConsoleCtrlHandler(eraseAndPassOn, TRUE) != 0; }

void restoreLineHandlers() {
  if (replaced) SetConsoleCtrlHandler(eraseAndPassOn, FALSE);
  replaced = false;
}

}  // namespace

void waitForKey(std::ostream& out, const texts::Text&, std::optional<Encoding>) {
  out.flush();
  std::system("pause");
}

namespace {
UINT restoreCodePage = 0;

// Puts the console's code page back when Ctrl-C or Ctrl-Break ends the run,
// then lets the default handling end the process.
BOOL WINAPI restoreOnBreak(DWORD) {
  if (restoreCodePage != 0) SetConsoleOutputCP(restoreCodePage);
  return FALSE;
}
}  // namespace

ConsoleCodePage::ConsoleCodePage(Encoding encoding) {
  previous_ = GetConsoleOutputCP();  // 0 without a console: nothing to set
  if (previous_ == 0) return;
  restoreCodePage = previous_;
  SetConsoleCtrlHandler(restoreOnBreak, TRUE);
  SetConsoleOutputCP(encoding == Encoding::utf8 ? CP_UTF8 : 950);
}

ConsoleCodePage::~ConsoleCodePage() {
  if (previous_ == 0) return;
  SetConsoleOutputCP(previous_);
  SetConsoleCtrlHandler(restoreOnBreak, FALSE);
}

#else

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

bool standardInputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

bool terminalSpeaksUtf8(int fd) {
  if (!isatty(fd)) return false;
  // A locale object of its own, so that setting it changes nothing else.
  const locale_t ctype = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (ctype == static_cast<locale_t>(0)) return false;  // a locale the system does not have
  const char* codeset = nl_langinfo_l(CODESET, ctype);
  const bool utf8 =
      codeset != nullptr && (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0);
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
constexpr std::size_t kMostSignals = 128;

// A list of signals, held without allocating.
struct SignalList {
  int signals[kMostSignals];
  std::size_t count = 0;
  // Adds sig; a full list (never reached) drops it.
  void add(int sig) {
    if (count < kMostSignals) signals[count++] = sig;
  }
  const int* begin() const { return signals; }
  const int* end() const { return signals + count; }
};

// Returns the signals whose default action ends the process: a handler that
// must clean up before the end takes them all, not a chosen few.
SignalList endingSignals() {
  SignalList list;
  for (const int sig : kNamedEndingSignals) list.add(sig);
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) list.add(sig);
#endif
  return list;
}

// Returns the set of the signals in list.
sigset_t setOf(const SignalList& list) {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : list) sigaddset(&set, sig);
  return set;
}

// Handlers put in place for some signals, and the actions they replaced.
class SignalHandlers {
 public:
  // Installs handler for each of signals that is still at its default action
  // (one ignored at start, as SIGHUP under nohup, stays ignored); every signal
  // in mask waits while it runs.
  void install(const SignalList& signals, void (*handler)(int), const sigset_t& mask) {
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_mask = mask;
    for (const int sig : signals) {
      if (count_ == kMostSignals) return;
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
    for (std::size_t i = 0; i < count_; ++i) sigaction(replaced_[i].sig, &replaced_[i].previous, nullptr);
    count_ = 0;
  }

 private:
  struct Replaced {
    int sig;
    struct sigaction previous;
  };
  Replaced replaced_[kMostSignals];
  std::size_t count_ = 0;
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

// Writes the line again from its start, cut to the terminal as it is now, after
// clearing what the terminal shows from there on (the rows a narrower terminal
// wrapped the old line into).
void writeRedraw() {
  const int fd = lineFd.load();
  if (fd < 0) return;
  const int set = startReading();
  const LineBytes& bytes = lineBytes[set];
  if (bytes.lineSize > 0) {
    const std::size_t columns = columnsNow(fd);
    const std::size_t margin = static_cast<std::size_t>(lineMargin.load());
    std::size_t size = bytes.lineSize;
    if (columns > 0) size = columns > margin ? std::min(size, columns - margin) : 0;
    const char start[] = "\r\x1b[J";  // ECMA-48 ED 0: erase to the end of the screen
    writeAll(fd, start, clearBelow.load() ? sizeof start - 1 : 1);
    writeAll(fd, bytes.line, size);
    writeAll(fd, "\r", 1);
  }
  readersOf[set].fetch_sub(1);
}

// Returns true when the process's group has the foreground of fd's terminal:
// the screen is then the program's, not the shell's.
bool inForeground(int fd) { return tcgetpgrp(fd) == getpgrp(); }

// Keeps the line through a signal that ends or stops the process: erases it
// (for a stop only in the foreground), lets the signal take its course, and
// when the process goes on draws the line again.
extern "C" void eraseForSignal(int sig) {
  const int savedErrno = errno;
  const int fd = lineFd.load();
  const bool stop = sig == SIGTSTP || sig == SIGTTIN || sig == SIGTTOU;
  if (!stop || inForeground(fd)) writeErase();
  takeDefaultCourse(sig);
  if (inForeground(fd)) writeRedraw();
  errno = savedErrno;
}

// Draws the line again when the process continues or its terminal is resized.
extern "C" void redrawForSignal(int) {
  const int savedErrno = errno;
  if (inForeground(lineFd.load())) writeRedraw();
  errno = savedErrno;
}

SignalHandlers lineHandlers;

void installLineHandlers() {
  SignalList ending = endingSignals();
  for (const int sig : {SIGTSTP, SIGTTIN, SIGTTOU}) ending.add(sig);
  SignalList redrawing;
  for (const int sig : {SIGCONT, SIGWINCH}) redrawing.add(sig);
  sigset_t mask = setOf(ending);
  for (const int sig : redrawing) sigaddset(&mask, sig);
  lineHandlers.install(ending, eraseForSignal, mask);
  lineHandlers.install(redrawing, redrawForSignal, mask);
}

void restoreLineHandlers() { lineHandlers.restore(); }

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

  SignalList signals = endingSignals();
  signals.add(SIGTSTP);
  const sigset_t held = setOf(signals);
  SignalHandlers handlers;
  handlers.install(signals, giveTerminalBack, held);
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
const char* promptFor(int fd, const texts::Text& prompt, std::optional<Encoding> chosen) {
  return prompt.in(chosen.value_or(terminalSpeaksUtf8(fd) ? Encoding::utf8 : Encoding::big5));
}

}  // namespace

void waitForKey(std::ostream& out, const texts::Text& prompt, std::optional<Encoding> chosen) {
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

#endif

}  // namespace calc::platform
