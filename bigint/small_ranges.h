// The three ranges of machine integers that decide when arbitrary arithmetic
// may stay in 32 bits: the addition guard, the argument window of += and -=
// with an integer, and the multiplication window.
//
// A value inside the addition guard plus or minus an argument inside the
// argument window stays within -2147483647 .. 2147483646, so one 32-bit add or
// subtract never overflows; the two ranges differ by one at each end
// (1073741823 is a valid argument, but not a value that stays small). Two
// factors inside the multiplication window have a product within
// -1073709056 .. 1073741824, so one 32-bit multiply never overflows.
#ifndef LONGSQRT_BIGINT_SMALL_RANGES_H
#define LONGSQRT_BIGINT_SMALL_RANGES_H

#include <cstdint>

namespace smallrange {

// promoteForAdd keeps a small value in -1073741823 .. 1073741822.
constexpr int32_t kAddGuardMin = -0x3FFFFFFF;
constexpr int32_t kAddGuardMax = 0x3FFFFFFE;
// += and -= add an integer in -1073741824 .. 1073741823 to a guarded small value directly.
constexpr int32_t kAddArgumentMin = -0x40000000;
constexpr int32_t kAddArgumentMax = 0x3FFFFFFF;
// promoteForMul keeps a small value in -32768 .. 32767; *= multiplies two such values directly.
constexpr int32_t kMulWindowMin = -0x8000;
constexpr int32_t kMulWindowMax = 0x7FFF;

// Returns true when promoteForAdd leaves the small value v small.
constexpr bool fitsAddGuard(int32_t v) { return v >= kAddGuardMin && v <= kAddGuardMax; }
// Returns true when += and -= may add the integer a to a guarded small value in 32 bits.
constexpr bool fitsAddArgument(int32_t a) { return a >= kAddArgumentMin && a <= kAddArgumentMax; }
// Returns true when promoteForMul leaves the small value v small.
constexpr bool fitsMulWindow(int32_t v) { return v >= kMulWindowMin && v <= kMulWindowMax; }

}  // namespace smallrange

#endif  // LONGSQRT_BIGINT_SMALL_RANGES_H
