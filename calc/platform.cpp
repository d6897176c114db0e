// The platform layer: standard descriptors, terminal tests, the wait for a key
// and the console code page, for POSIX systems and for Windows.
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
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace calc::platform {

namespace {

// What a signal writes: "\r", blanks over the line, "\r". Two buffers, so a
// draw fills one while a signal arriving meanwhile still reads the other
// whole; a handler allocates and formats nothing.
struct EraseBytes {
  char bytes[512];
  std::size_t size;
};
EraseBytes eraseBytes[2];
volatile std::sig_atomic_t activeErase = 0;
volatile std::sig_atomic_t eraseFd = -1;

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

// Writes the erase bytes to the terminal.
void writeErase() {
  std::atomic_signal_fence(std::memory_order_acquire);
  const EraseBytes& e = eraseBytes[activeErase];
  writeAll(eraseFd, e.bytes, e.size);
}

}  // namespace

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

bool standardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

int terminalColumns(int fd) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

namespace {

// Erases the line on Ctrl-C and Ctrl-Break, then passes the event on: the
// next handler, by default the system's, ends the process as it always does.
BOOL WINAPI eraseAndPassOn(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) writeErase();
  return FALSE;
}

bool replaced = false;

void installEraseHandlers() { replaced = SetConsoleCtrlHandler(eraseAndPassOn, TRUE) != 0; }

void restoreEraseHandlers() {
  if (replaced) SetConsoleCtrlHandler(eraseAndPassOn, FALSE);
  replaced = false;
}

}  // namespace

void waitForKey(std::ostream& out, const char*) {
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

int terminalColumns(int fd) {
  winsize size = {};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

namespace {

// The signals that end a run and find the line on the screen.
constexpr int kErasingSignals[] = {SIGINT, SIGTERM};
constexpr std::size_t kSignalCount = sizeof kErasingSignals / sizeof kErasingSignals[0];

struct sigaction previousActions[kSignalCount];
bool replaced[kSignalCount];

// Erases the line, then lets the signal take its default course: blocked
// while this handler runs, the raised signal ends the process as it returns.
extern "C" void eraseAndResignal(int sig) {
  writeErase();
  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  sigaction(sig, &byDefault, nullptr);
  raise(sig);
}

void installEraseHandlers() {
  struct sigaction erase = {};
  erase.sa_handler = eraseAndResignal;
  sigemptyset(&erase.sa_mask);
  for (const int sig : kErasingSignals) sigaddset(&erase.sa_mask, sig);
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    replaced[i] = false;
    if (sigaction(kErasingSignals[i], nullptr, &previousActions[i]) != 0) continue;
    // A signal ignored or handled elsewhere stays as it was.
    if ((previousActions[i].sa_flags & SA_SIGINFO) != 0 || previousActions[i].sa_handler != SIG_DFL) continue;
    replaced[i] = sigaction(kErasingSignals[i], &erase, nullptr) == 0;
  }
}

void restoreEraseHandlers() {
  for (std::size_t i = 0; i < kSignalCount; ++i)
    if (replaced[i]) sigaction(kErasingSignals[i], &previousActions[i], nullptr);
}

// The terminal as the wait found it, and as the wait uses it (one key at a
// time, unechoed); the signal handlers switch between the two.
struct termios savedSettings;
struct termios rawSettings;
// The SIGTSTP handling of the wait, put back after each stop.
struct sigaction stopAction;

// The signals that end a process by default and may arrive during the wait.
constexpr int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// Restores the terminal, then lets the signal take its default course.
extern "C" void restoreAndResignal(int sig) {
  tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
  signal(sig, SIG_DFL);
  raise(sig);
}

// Gives the terminal back while the process is stopped (Ctrl-Z) and takes it
// again when it continues, so the shell keeps its echo and line editing.
extern "C" void stopWithTerminalRestored(int) {
  const int savedErrno = errno;
  tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
  signal(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);  // the process stops here until it is continued
  sigaction(SIGTSTP, &stopAction, nullptr);
  tcsetattr(STDIN_FILENO, TCSANOW, &rawSettings);
  errno = savedErrno;
}

// Handlers for the ending signals and SIGTSTP while the wait lasts; a signal
// ignored when the wait began (SIGHUP under nohup) keeps being ignored.
class WaitSignals {
 public:
  WaitSignals() {
    struct sigaction ending = {};
    ending.sa_handler = restoreAndResignal;
    sigemptyset(&ending.sa_mask);
    stopAction = ending;
    stopAction.sa_handler = stopWithTerminalRestored;
    for (std::size_t i = 0; i < kCount; ++i) {
      struct sigaction current;
      if (sigaction(signalAt(i), nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
      installed_[i] =
          sigaction(signalAt(i), signalAt(i) == SIGTSTP ? &stopAction : &ending, &previous_[i]) == 0;
    }
  }
  ~WaitSignals() {
    for (std::size_t i = 0; i < kCount; ++i) {
      if (installed_[i]) sigaction(signalAt(i), &previous_[i], nullptr);
    }
  }
  WaitSignals(const WaitSignals&) = delete;
  WaitSignals& operator=(const WaitSignals&) = delete;

 private:
  static constexpr std::size_t kCount = sizeof kEndingSignals / sizeof kEndingSignals[0] + 1;
  // Returns the i-th signal handled: the ending signals, then SIGTSTP.
  static int signalAt(std::size_t i) { return i + 1 < kCount ? kEndingSignals[i] : SIGTSTP; }
  struct sigaction previous_[kCount];
  bool installed_[kCount] = {};
};

}  // namespace

void waitForKey(std::ostream& out, const char* prompt) {
  if (!isatty(STDIN_FILENO)) return;
  // The prompt goes where the user looks: the console's standard output when
  // that is the terminal, otherwise straight to the terminal.
  int terminal = -1;
  if (isatty(STDOUT_FILENO)) {
    out << prompt << std::flush;
  } else {
    terminal = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (terminal >= 0) writeAll(terminal, prompt, std::strlen(prompt));
  }

  if (tcgetattr(STDIN_FILENO, &savedSettings) == 0) {
    const WaitSignals signals;
    rawSettings = savedSettings;
    rawSettings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    rawSettings.c_cc[VMIN] = 1;
    rawSettings.c_cc[VTIME] = 0;
    // TCSAFLUSH drops what was typed during the computation: only a key
    // pressed now ends the wait.
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &rawSettings) == 0) {
      char key;
      while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
      }
      // Drop the rest of a multi-byte key (an arrow key's escape sequence).
      tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
    }
  }

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

void eraseLineOnInterrupt(int fd, std::size_t width) {
  const int nextIndex = 1 - activeErase;
  EraseBytes& next = eraseBytes[nextIndex];
  width = std::min(width, sizeof next.bytes - 2);
  next.bytes[0] = '\r';
  std::memset(next.bytes + 1, ' ', width);
  next.bytes[width + 1] = '\r';
  next.size = width + 2;
  std::atomic_signal_fence(std::memory_order_release);
  activeErase = nextIndex;
  if (eraseFd < 0) {
    eraseFd = fd;
    installEraseHandlers();
  }
}

void stopErasingOnInterrupt() {
  if (eraseFd < 0) return;
  restoreEraseHandlers();
  eraseFd = -1;
}

}  // namespace calc::platform
