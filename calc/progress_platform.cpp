// The terminal side of the progress line: the width of the terminal it is
// shown on, and the erase of the line when SIGINT or SIGTERM ends the run.
#include "calc/progress.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstring>

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
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace calc {

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

// The reporter whose handlers are installed: at most one at a time.
const void* holder = nullptr;

// Writes the erase bytes to the terminal, all of them if the system allows.
void writeErase() {
  std::atomic_signal_fence(std::memory_order_acquire);
  const EraseBytes& e = eraseBytes[activeErase];
  const char* p = e.bytes;
  std::size_t left = e.size;
  while (left > 0) {
#ifdef _WIN32
    const int n = _write(eraseFd, p, static_cast<unsigned>(left));
#else
    const ssize_t n = write(eraseFd, p, left);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

#ifdef _WIN32

// Erases the line on Ctrl-C and Ctrl-Break, then passes the event on: the
// next handler, by default the system's, ends the process as it always does.
BOOL WINAPI eraseAndPassOn(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) writeErase();
  return FALSE;
}

bool replaced = false;

void installHandlers() { replaced = SetConsoleCtrlHandler(eraseAndPassOn, TRUE) != 0; }

void restoreHandlers() {
  if (replaced) SetConsoleCtrlHandler(eraseAndPassOn, FALSE);
  replaced = false;
}

#else

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

void installHandlers() {
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

void restoreHandlers() {
  for (std::size_t i = 0; i < kSignalCount; ++i)
    if (replaced[i]) sigaction(kErasingSignals[i], &previousActions[i], nullptr);
}

#endif

}  // namespace

ProgressReporter::Screen ProgressReporter::standardError() {
  return Screen{[] { return terminalColumns(2); }, 2};
}

int ProgressReporter::terminalColumns(int fd) {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
#else
  winsize size = {};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
#endif
}

void ProgressReporter::eraseOnSignals(std::size_t width) {
  if (screen_.fd < 0) return;
  if (!holdsSignals_ && holder != nullptr) return;  // another reporter has them

  const int nextIndex = 1 - activeErase;
  EraseBytes& next = eraseBytes[nextIndex];
  width = std::min(width, sizeof next.bytes - 2);
  next.bytes[0] = '\r';
  std::memset(next.bytes + 1, ' ', width);
  next.bytes[width + 1] = '\r';
  next.size = width + 2;
  std::atomic_signal_fence(std::memory_order_release);
  activeErase = nextIndex;

  if (!holdsSignals_) {
    holder = this;
    holdsSignals_ = true;
    eraseFd = screen_.fd;
    installHandlers();
  }
}

void ProgressReporter::releaseSignals() {
  if (!holdsSignals_) return;
  restoreHandlers();
  holdsSignals_ = false;
  holder = nullptr;
}

}  // namespace calc
