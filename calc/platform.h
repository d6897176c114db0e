// The platform layer under the calculator: the standard descriptors, which
// streams are terminals, how wide they are and which character set they speak,
// a line kept in order on a terminal through signals, the wait for a key that
// ends a run, and the Windows console's code page. Everything that differs
// between POSIX and Windows lives behind these functions.
#ifndef LONGSQRT_CALC_PLATFORM_H
#define LONGSQRT_CALC_PLATFORM_H

#include <cstddef>
#include <iosfwd>
#include <optional>

#include "calc/texts.h"

namespace calc::platform {

// Opens the null device on each of standard input, output and error that is
// closed, so that no file the run opens later (the log) can take its place.
void reserveStandardStreams();

// Makes a write into a pipe nobody reads, or past the file-size limit, fail
// with EPIPE or EFBIG instead of ending the process (ignores SIGPIPE and
// SIGXFSZ), so that the run reports it and keeps its log whole. Does nothing
// on Windows, which has neither signal.
void failWritesInsteadOfSignals();

// Returns the system's error number when reading standard input failed, 0
// when it merely ended or has not failed.
int standardInputError();

// Returns true when standard input is a terminal (on Windows a console, not
// the NUL device).
bool standardInputIsTerminal();
// Returns true when standard error is a terminal (on Windows a console).
bool standardErrorIsTerminal();

// Returns true when fd is a terminal and the character set of the locale the
// environment names for LC_CTYPE (LC_ALL, LC_CTYPE, LANG) is UTF-8. Leaves the
// process's own locale, and with it every number it reads and writes, as it
// is. Always false on Windows, whose console takes a code page instead.
bool terminalSpeaksUtf8(int fd);

// Returns the width in columns of the terminal on fd; 0 when it does not tell.
int terminalColumns(int fd);

// Keeps a line shown on the terminal fd in order while signals arrive. A signal
// that ends the process first writes "\r", eraseWidth blanks and "\r" (fewer
// blanks when the terminal has since narrowed); a stop (Ctrl-Z, SIGTSTP,
// SIGTTIN, SIGTTOU) erases the line the same way and the continue (SIGCONT)
// draws it again, both only while the process has the terminal's foreground;
// a resize (SIGWINCH) draws it again, cut to the new width less margin
// columns, after clearing from the line's start to the end of the screen what
// a narrower terminal made of the old line (unless TERM is "dumb"). A redraw
// writes "\r", the first size bytes at line and "\r": the caller leaves the
// cursor at the line's start. On Windows Ctrl-C and Ctrl-Break erase it. The
// first call installs the handlers, for signals still at their default action
// only; later calls change the bytes (size 0: nothing to redraw). At most one
// such line at a time.
void keepLineThroughSignals(int fd, const char* line, std::size_t size, std::size_t eraseWidth, int margin);
// Puts back the handlers keepLineThroughSignals installed.
void stopKeepingLine();

// Waits for one key at the end of a run. On Windows it runs "pause". Elsewhere,
// only when standard input is a terminal: it writes prompt where the user looks
// (out when standard output is the terminal, else the terminal itself), in
// chosen, or when none is chosen in UTF-8 where that terminal speaks it and in
// Big5 elsewhere; it drops the keys typed before the wait, reads one key
// unbuffered and unechoed, and gives the terminal back as it was, also while
// stopped (Ctrl-Z) and when any signal ends the process; signals ignored at
// start stay ignored.
void waitForKey(std::ostream& out, const texts::Text& prompt, std::optional<Encoding> chosen);

// Sets the Windows console's output code page to match the bytes a run writes
// (950 for Big5, 65001 for UTF-8) for the object's lifetime, Ctrl-C included.
// Does nothing elsewhere.
class ConsoleCodePage {
 public:
  explicit ConsoleCodePage(Encoding encoding);
  ~ConsoleCodePage();
  ConsoleCodePage(const ConsoleCodePage&) = delete;
  ConsoleCodePage& operator=(const ConsoleCodePage&) = delete;

 private:
  [[maybe_unused]] unsigned previous_ = 0;  // the code page to restore (Windows); 0 when none was set
};

}  // namespace calc::platform

#endif  // LONGSQRT_CALC_PLATFORM_H
