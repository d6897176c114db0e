// The platform side of the console: the wait for a key that ends a run and
// the terminal test that decides whether the progress line is shown.
#include <cstddef>
#include <cstdlib>
#include <ostream>

#include "calc/calculator.h"
#include "calc/texts.h"

#ifdef _WIN32
#include <io.h>
#include <cstdio>
#else
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#endif

namespace calc {

#ifdef _WIN32

void waitForKey(std::ostream& out) {
  out.flush();
  std::system("pause");
}

bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

#else

namespace {

// The terminal settings to put back if a signal ends the process mid-wait.
struct termios savedSettings;

// The signals that end a process by default and may arrive during the wait.
constexpr int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// Restores the terminal, then lets the signal take its default course.
extern "C" void restoreAndResignal(int sig) {
  tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
  signal(sig, SIG_DFL);
  raise(sig);
}

}  // namespace

void waitForKey(std::ostream& out) {
  if (!isatty(STDIN_FILENO)) return;
  out << texts::kPressAnyKey << std::flush;

  if (tcgetattr(STDIN_FILENO, &savedSettings) == 0) {
    struct sigaction restore = {};
    restore.sa_handler = restoreAndResignal;
    sigemptyset(&restore.sa_mask);
    struct sigaction previous[sizeof kEndingSignals / sizeof kEndingSignals[0]];
    for (std::size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i)
      sigaction(kEndingSignals[i], &restore, &previous[i]);

    // One key, delivered at once and not echoed.
    struct termios raw = savedSettings;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
      char key;
      while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
      }
      // Drop the rest of a multi-byte key (an arrow key's escape sequence).
      tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
    }

    for (std::size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i)
      sigaction(kEndingSignals[i], &previous[i], nullptr);
  }
  out << std::endl;
}

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

#endif

}  // namespace calc
