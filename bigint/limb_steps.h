// The limb loops that arbitrary's inline operators call: adding a limb and
// multiplying by one, in the terms of magnitude.h, which includes them. They
// stand apart so that arbitrary.h brings its includers these three and no
// more of the loops (nor the choice of their path).
#ifndef LONGSQRT_BIGINT_LIMB_STEPS_H
#define LONGSQRT_BIGINT_LIMB_STEPS_H

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "bigint/wide.h"

namespace magnitude {

// Adds 1 to x[0..n) in place, stopping at the first limb that takes it, and
// returns the carry out, 0 or 1.
uint32_t increment(uint16_t* x, size_t n);
// Adds d to x[0..n) in place (n >= 1) and returns the carry out, 0 or 1. The
// low four limbs move as one word when there are four: the multiply pass that
// usually follows reads them as one word, and finds it stored whole.
inline uint32_t addLimb(uint16_t* x, size_t n, uint16_t d) {
  assert(n >= 1 && "a magnitude has at least one limb");
  if (n >= 4) {
    const uint64_t low = wide::load4(x);
    const uint64_t sum = low + d;
    wide::store4(x, sum);
    return sum < low ? increment(x + 4, n - 4) : 0;
  }
  const uint32_t first = static_cast<uint32_t>(x[0]) + d;
  x[0] = static_cast<uint16_t>(first);
  return first > 0xFFFFu ? increment(x + 1, n - 1) : 0;
}
// Multiplies x[0..n) by m in place and returns the carry out, below 65536.
uint32_t multiplyByLimb(uint16_t* x, size_t n, uint16_t m);

}  // namespace magnitude

#endif  // LONGSQRT_BIGINT_LIMB_STEPS_H
