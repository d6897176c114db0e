// The test program's operator new can be made to fail: the allocation that
// allocationsUntilFailure counts down to on this thread throws bad_alloc.
#ifndef LONGSQRT_TESTS_FAILING_ALLOCATOR_H
#define LONGSQRT_TESTS_FAILING_ALLOCATOR_H

namespace failing_allocator {
// The allocation that is to fail, counted down on this thread only; 0 when
// the allocator is not armed, so the rest of the test program is untouched.
extern thread_local long allocationsUntilFailure;
}  // namespace failing_allocator

#endif  // LONGSQRT_TESTS_FAILING_ALLOCATOR_H
