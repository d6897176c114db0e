// The platform layer's system-independent part: the write-all loop, the line
// kept through signals as the handlers write it, the error of standard input
// and the terminal that standard error may be.
#include "calc/platform/platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "calc/platform/internal.h"

namespace calc::platform {

bool writeAll(int fd, const char* p, std::size_t size) {
  while (size > 0) {
    const long long n = internal::writeSome(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

int standardInputError() {
  // The stream's error flag says that a read failed; errno still holds why.
  return std::ferror(stdin) ? (errno != 0 ? errno : EIO) : 0;
}

std::optional<Terminal> standardErrorTerminal(std::ostream& err) {
  constexpr int kStandardError = 2;
  if (!isTerminal(kStandardError)) return std::nullopt;
  return Terminal{err, kStandardError, [] { return terminalColumns(kStandardError); }};
}

// --- The line kept through signals ------------------------------------------------

namespace {

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

}  // namespace

int internal::keptLineFd() { return lineFd.load(); }

void internal::writeErase() {
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

void internal::writeRedraw() {
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
    internal::installLineHandlers();
  }
}

namespace {

// The note an interrupted run writes, in two sets as the kept line's bytes.
constexpr std::size_t kMostNote = 1024;
struct NoteBytes {
  char bytes[kMostNote];
  std::size_t size;
};
NoteBytes noteBytes[2];
std::atomic<int> publishedNote{0};
std::atomic<int> noteReaders[2] = {};
std::atomic<bool> noting{false};

}  // namespace

void internal::writeNote() {
  int set;
  for (;;) {
    set = publishedNote.load();
    noteReaders[set].fetch_add(1);
    if (publishedNote.load() == set) break;
    noteReaders[set].fetch_sub(1);
  }
  constexpr int kStandardError = 2;
  if (noteBytes[set].size > 0) writeAll(kStandardError, noteBytes[set].bytes, noteBytes[set].size);
  noteReaders[set].fetch_sub(1);
}

namespace {

// Makes note the bytes a handler writes from now on.
void publishNote(const char* note, std::size_t size) {
  const int next = 1 - publishedNote.load();
  while (noteReaders[next].load() != 0) {
    // A handler on another thread is still writing these bytes (Windows).
  }
  noteBytes[next].size = std::min(size, kMostNote);
  std::memcpy(noteBytes[next].bytes, note, noteBytes[next].size);
  publishedNote.store(next);
}

}  // namespace

void noteOnInterrupt(const char* note, std::size_t size) {
  publishNote(note, size);
  if (!noting.exchange(true)) internal::installNoteHandlers();
}

void stopNotingInterrupts() {
  if (!noting.exchange(false)) return;
  internal::restoreNoteHandlers();
  publishNote("", 0);
}

void stopKeepingLine() {
  if (lineFd.load() < 0) return;
  internal::restoreLineHandlers();
  lineFd.store(-1);
}

}  // namespace calc::platform
