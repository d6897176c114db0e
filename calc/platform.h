// The platform layer under the calculator: the standard descriptors, which
// streams are terminals and how wide, the erase of the progress line on an
// interrupt, the wait for a key that ends a run, and the Windows console's
// code page. Everything that differs between POSIX and Windows
// lives behind these functions.
#ifndef LONGSQRT_CALC_PLATFORM_H
#define LONGSQRT_CALC_PLATFORM_H

#include <cstddef>
#include <iosfwd>

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

// Returns true when standard input is a terminal.
bool standardInputIsTerminal();
// Returns true when standard error is a terminal.
bool standardErrorIsTerminal();

// Returns the width in columns of the terminal on fd; 0 when it does not tell.
int terminalColumns(int fd);

// Makes an interrupt (SIGINT or SIGTERM; Ctrl-C or Ctrl-Break on Windows)
// write "\r", width blanks and "\r" to fd before it ends the process as it
// would have, so that a line shown there does not outlive the run. The first
// call installs the handlers, for signals still at their default action only;
// later calls change what they write. At most one such line at a time.
void eraseLineOnInterrupt(int fd, std::size_t width);
// Puts back the handlers eraseLineOnInterrupt installed.
void stopErasingOnInterrupt();

// Waits for one key at the end of a run. On Windows it runs "pause". Elsewhere,
// only when standard input is a terminal: it writes prompt where the user looks
// (out when standard output is the terminal, else the terminal itself), drops
// the keys typed before the wait, reads one key unbuffered and unechoed, and
// gives the terminal back as it was, also while stopped (Ctrl-Z) and when a
// signal ends the process; signals ignored at start stay ignored.
void waitForKey(std::ostream& out, const char* prompt);

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
