// The platform layer on Windows: standard handles, consoles, Ctrl-C, the
// "pause" that ends a run, the console's code page, and the run log's file
// with the share mode that holds it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <utility>

#include "calc/platform/internal.h"
#include "calc/platform/platform.h"

namespace calc::platform {

long long internal::writeSome(int fd, const char* p, std::size_t size) {
  return _write(fd, p, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

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

bool isTerminal(int fd) {
  // A console, not just a character device: _isatty is true for every one,
  // the NUL device among them, and only a console has a console mode.
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

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
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) internal::writeErase();
  return FALSE;
}

bool replaced = false;

}  // namespace

void internal::installLineHandlers() { replaced = SetConsoleCtrlHandler(eraseAndPassOn, TRUE) != 0; }

void internal::restoreLineHandlers() {
  if (replaced) SetConsoleCtrlHandler(eraseAndPassOn, FALSE);
  replaced = false;
}

namespace {

// Writes the note of an interrupted run on Ctrl-C, Ctrl-Break or the
// console's closing, then passes the event on. Installed before the line's
// eraser, it runs after it.
BOOL WINAPI noteAndPassOn(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) internal::writeNote();
  return FALSE;
}

bool noting = false;

}  // namespace

void internal::installNoteHandlers() { noting = SetConsoleCtrlHandler(noteAndPassOn, TRUE) != 0; }

void internal::restoreNoteHandlers() {
  if (noting) SetConsoleCtrlHandler(noteAndPassOn, FALSE);
  noting = false;
}

void waitForKey(std::ostream& out, const TextIn&, std::optional<Encoding>) {
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

// --- The run log's file -----------------------------------------------------------

int openForWriting(const char* path, bool create, bool& inUse) {
  // Binary: the log writes its CR LF itself (see withSystemLineEnds).
  const int flags = _O_WRONLY | _O_BINARY | _O_NOINHERIT | (create ? _O_CREAT | _O_EXCL : 0);
  int fd = -1;
  // _SH_DENYWR: while this run has the file open, no other may open it for
  // writing; one that tries fails with a sharing violation.
  const errno_t e = _sopen_s(&fd, path, flags, _SH_DENYWR, _S_IREAD | _S_IWRITE);
  inUse = e != 0 && _doserrno == ERROR_SHARING_VIOLATION;
  if (e == 0) return fd;
  errno = e;
  return -1;
}

Hold holdExclusively(int, const char*) { return Hold::held; }

namespace {

// Returns the volume and index that name the disk file on handle, or nothing
// for anything else (a console, a pipe, the NUL device).
std::optional<std::pair<DWORD, ULONGLONG>> diskFileId(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(handle, &info))
    return std::nullopt;
  return std::make_pair(info.dwVolumeSerialNumber,
                        (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

}  // namespace

int standardStreamOf(int fd) {
  const auto log = diskFileId(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
  if (!log) return -1;
  for (int standard = 0; standard <= 2; ++standard)
    if (diskFileId(reinterpret_cast<HANDLE>(_get_osfhandle(standard))) == log) return standard;
  return -1;
}

bool isDanglingLink(const char*) { return false; }

bool cutTo(int fd, long long size) {
  struct _stat64 st;
  if (_fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG) == 0) return true;
  errno = _chsize_s(fd, size);
  return errno == 0 && _lseeki64(fd, size, SEEK_SET) == size;
}

bool closeFile(int fd, const char* path, bool removeIfEmpty) {
  struct _stat64 st;
  const bool remove = removeIfEmpty && _fstat64(fd, &st) == 0 && st.st_size == 0;
  const bool closed = _close(fd) == 0;
  const int closeError = errno;
  if (remove) _unlink(path);
  errno = closeError;
  return closed;
}

std::string_view withSystemLineEnds(const char* data, std::size_t size, std::string& storage) {
  storage.clear();
  storage.reserve(size + size / 16);
  for (const char* p = data; p != data + size; ++p) {
    if (*p == '\n') storage += '\r';
    storage += *p;
  }
  return storage;
}

const bool kCrLfLineEnds = true;

bool isRegularFile(int fd) {
  struct _stat64 st;
  return _fstat64(fd, &st) != 0 || (st.st_mode & _S_IFREG) != 0;
}

long long fileSize(int fd) {
  struct _stat64 st;
  return _fstat64(fd, &st) == 0 ? st.st_size : -1;
}

bool seekTo(int fd, long long at) { return _lseeki64(fd, at, SEEK_SET) == at; }

// _commit is FlushFileBuffers on the file's handle.
bool syncFile(int fd) { return _commit(fd) == 0; }

void syncDirectoryOf(const char*) {}

int openForReading(const char* path) {
  int fd = -1;
  // _SH_DENYNO: the run that holds the log for writing keeps it while this reads.
  errno = _sopen_s(&fd, path, _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0);
  return errno == 0 ? fd : -1;
}

long long readSome(int fd, char* p, std::size_t size) {
  return _read(fd, p, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

void closeDescriptor(int fd) { _close(fd); }

bool sameFile(int a, int b) {
  // A file is its volume and its index on it. The share mode holds the log
  // whatever its name does, so a file system that cannot tell answers yes.
  BY_HANDLE_FILE_INFORMATION fa, fb;
  if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(a)), &fa) ||
      !GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(b)), &fb))
    return true;
  return fa.dwVolumeSerialNumber == fb.dwVolumeSerialNumber && fa.nFileIndexHigh == fb.nFileIndexHigh &&
         fa.nFileIndexLow == fb.nFileIndexLow;
}

std::string commandWord(const std::string& word) {
  // A path holds no double quote on Windows; spaces and the command
  // processor's own characters need the quotes.
  const bool plain = !word.empty() && word.find_first_of(" \t&|<>^()%!\"") == std::string::npos;
  return plain ? word : "\"" + word + "\"";
}

int processorsInAffinity() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 0;
  int count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
}

// Windows delivers no POSIX signals to a thread: nothing to block.
void withSignalsBlocked(const std::function<void()>& start) { start(); }

}  // namespace calc::platform
