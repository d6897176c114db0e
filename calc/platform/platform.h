// The platform layer under the calculator: the standard descriptors, which
// streams are terminals, how wide they are and which character set they speak,
// a line kept in order on a terminal through signals, the wait for a key that
// ends a run, the Windows console's code page, and the file operations of the
// run log, the processors a run may use. Everything that differs between POSIX and Windows lives behind these
// functions: common.cpp holds what the systems share, posix.cpp and windows.cpp
// what each does its own way.
#ifndef LONGSQRT_CALC_PLATFORM_H
#define LONGSQRT_CALC_PLATFORM_H

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "calc/encoding.h"

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

// Returns true when fd is a terminal (on Windows a console, not the NUL
// device).
bool isTerminal(int fd);

// A terminal the program shows a line on: the stream that writes there, its
// descriptor and its width.
struct Terminal {
  std::ostream& stream;
  int fd = -1;                   // where signals erase and redraw a kept line; -1: signals leave it
  std::function<int()> columns;  // returns its width now; 0 or less (or empty) when unknown
};

// Returns standard error as a terminal written through err, its width asked
// anew at each call; nothing when standard error is not a terminal.
std::optional<Terminal> standardErrorTerminal(std::ostream& err);

// Returns true when fd is a terminal and the character set of the locale the
// environment names for LC_CTYPE (LC_ALL, LC_CTYPE, LANG) is UTF-8, or ASCII
// (C, POSIX, or none named), which shows none of the texts and is found on
// terminals that show UTF-8. Leaves the process's own locale, and with it
// every number it reads and writes, as it is. Always false on Windows, whose
// console takes a code page instead.
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

// Writes note (size bytes, its line end included) to standard error when
// Ctrl-C, SIGTERM or SIGHUP ends the process (on Windows Ctrl-C, Ctrl-Break
// and the console's closing), after a line kept through signals is erased.
// The first call installs the handlers, for signals still at their default
// action only; later calls change the note (size 0: none).
void noteOnInterrupt(const char* note, std::size_t size);
// Puts back the handlers noteOnInterrupt installed.
void stopNotingInterrupts();

// Returns a text in the encoding it is asked for.
using TextIn = std::function<const char*(Encoding)>;

// Waits for one key at the end of a run. On Windows it runs "pause". Elsewhere,
// only when standard input is a terminal: it writes prompt where the user looks
// (out when standard output is the terminal, else the terminal itself), in
// chosen, or when none is chosen in UTF-8 where that terminal speaks it and in
// Big5 elsewhere; it drops the keys typed before the wait, reads one key
// unbuffered and unechoed, and gives the terminal back as it was, also while
// stopped (Ctrl-Z) and when any signal ends the process; signals ignored at
// start stay ignored.
void waitForKey(std::ostream& out, const TextIn& prompt, std::optional<Encoding> chosen);

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

// --- The run log's file: each operation that fails leaves its reason in errno ----

// Writes all size bytes at p to fd, retrying after interruptions and short
// counts; returns false at the first write that fails (ENOSPC when the system
// took nothing without saying why). Safe in a signal handler.
bool writeAll(int fd, const char* p, std::size_t size);

// Opens path for writing without truncating it; create: only if it does not
// exist yet (else EEXIST). A FIFO without a reader fails at once (ENXIO). On
// Windows the share mode denies other writers: an open while another run
// holds the file fails with inUse set.
int openForWriting(const char* path, bool create, bool& inUse);

// Returns the standard stream (0, 1 or 2) open on the same regular file or
// pipe as fd, or -1 when there is none; a device (a terminal, the null
// device) is no stream's own.
int standardStreamOf(int fd);

// Whether a run may keep the file it opened: yes, another run holds it, or
// the name stands for another file by now.
enum class Hold { held, inUse, replaced };
// Holds the file open on fd (named path) against every other run: an advisory
// lock on a regular file (POSIX; a file system without locks holds it as it
// is), the share mode its open took (Windows).
Hold holdExclusively(int fd, const char* path);

// Returns true when path is a symbolic link to a file that does not exist
// (never on Windows, whose logs are not links the run has to tell apart).
bool isDanglingLink(const char* path);

// Cuts the file on fd to size bytes and moves its offset there; a device or
// a pipe, which has nothing to cut, is left as it is.
bool cutTo(int fd, long long size);

// Closes fd; when removeIfEmpty, the file is removed too if it is still empty
// and path still names it (on Windows, where an open file cannot be removed,
// after the close, failing when another run has opened it since).
bool closeFile(int fd, const char* path, bool removeIfEmpty);

// Returns true when fd is a regular file, or when that cannot be told: what a
// device or a pipe is not.
bool isRegularFile(int fd);

// Returns the size of the file on fd; -1 when it cannot be told.
long long fileSize(int fd);

// Moves fd's offset to at.
bool seekTo(int fd, long long at);

// Makes the data written to the file on fd, and its size, survive a crash or
// a power cut (fdatasync, or fsync where there is none; FlushFileBuffers on
// Windows), retrying after interruptions.
bool syncFile(int fd);

// Makes the directory entry of path, a file just created, survive a power
// cut (POSIX: syncs its directory; a directory that cannot be synced is left
// so, its file's data being safe). Does nothing on Windows, which keeps the
// name with the file.
void syncDirectoryOf(const char* path);

// Opens path for reading only, from its first byte; on Windows without
// denying the run that holds it for writing.
int openForReading(const char* path);

// Reads at most size bytes from fd into p, retrying after interruptions;
// returns the count (0 at the end), or -1 with the reason in errno.
long long readSome(int fd, char* p, std::size_t size);

// Closes fd, whose close has nothing to report (a file opened for reading).
void closeDescriptor(int fd);

// Returns true when a and b are open on the same file (on Windows, where a
// share mode holds the log and not its name, also when the system cannot tell).
bool sameFile(int a, int b);

// Whether this system's text files end their lines in CR LF (Windows) rather than LF.
extern const bool kCrLfLineEnds;

// Returns the bytes a text file of this system holds for the size bytes at
// data: data itself on POSIX; on Windows, whose logs are opened binary so that
// a line and its end go out in one write, a copy in storage with each "\n"
// written "\r\n".
std::string_view withSystemLineEnds(const char* data, std::size_t size, std::string& storage);

// Returns word as one word of a command line of this system's shell, quoted
// where it must be: in single quotes for a POSIX shell, in double quotes for
// Windows' command processor.
std::string commandWord(const std::string& word);

// Returns the processors this process may run on (its affinity mask on Linux
// and Windows, the processor count elsewhere), or 0 when the system does not say.
int processorsInAffinity();

// Runs start with every signal blocked on the calling thread, then restores
// its mask, so that the threads start makes take no signal: their handlers
// stay on the thread that runs the dialogue. Nothing to block on Windows.
void withSignalsBlocked(const std::function<void()>& start);

}  // namespace calc::platform

#endif  // LONGSQRT_CALC_PLATFORM_H
