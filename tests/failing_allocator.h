// The test program's operator new, which a test can make fail, and a stream
// buffer that takes writes without allocating.
#ifndef LONGSQRT_TESTS_FAILING_ALLOCATOR_H
#define LONGSQRT_TESTS_FAILING_ALLOCATOR_H

#include <streambuf>
#include <string>

namespace failing_allocator {

// The allocation that is to fail, counted down on this thread only; 0: none.
extern thread_local long allocationsUntilFailure;

// A stream buffer over a fixed array, so that writing to it allocates nothing.
struct FixedSink : std::streambuf {
  char text[1024];
  FixedSink() { clear(); }
  void clear() { setp(text, text + sizeof text); }
  std::string str() const { return std::string(pbase(), pptr()); }
};

}  // namespace failing_allocator

#endif  // LONGSQRT_TESTS_FAILING_ALLOCATOR_H
