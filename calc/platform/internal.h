// What the platform layer's own files share: each system's single write and
// signal handlers, and the line kept through signals as the handlers draw it.
#ifndef LONGSQRT_CALC_PLATFORM_INTERNAL_H
#define LONGSQRT_CALC_PLATFORM_INTERNAL_H

#include <cstddef>

namespace calc::platform::internal {

// Writes at most size bytes at p to fd in one call; returns how many went, or
// -1 with the reason in errno. Safe in a signal handler.
long long writeSome(int fd, const char* p, std::size_t size);

// Puts in place each system's handlers that keep the line, and puts back
// what they replaced.
void installLineHandlers();
void restoreLineHandlers();

// Returns the descriptor the kept line is shown on; -1 when none is kept.
int keptLineFd();
// Write "\r", the line's erase or the line itself (cut to the terminal as it
// is now; a redraw first clears the rows a narrower terminal wrapped the old
// line into) and "\r". Safe in a signal handler or on a thread of its own.
void writeErase();
void writeRedraw();

// Puts in place each system's handlers that write the note of an interrupted
// run, and puts back what they replaced.
void installNoteHandlers();
void restoreNoteHandlers();
// Writes the note, if one is set, to standard error. Safe in a signal handler.
void writeNote();

}  // namespace calc::platform::internal

#endif  // LONGSQRT_CALC_PLATFORM_INTERNAL_H
