// The digit loops of construction from text and of decimal output, given the
// pass that each digit runs, so that every path runs the same steps with its
// own pass inlined and its constants set up once for the whole value.
#ifndef LONGSQRT_BIGINT_DIGIT_STEPS_H
#define LONGSQRT_BIGINT_DIGIT_STEPS_H

#include <cstddef>
#include <cstdint>

#include "bigint/limb_steps.h"

namespace digitsteps {

// multiplyByTenAddingDigits with the pass timesTen(x, n), which multiplies
// x[0..n) by ten and returns the carry out.
template <class Pass>
inline size_t addDigits(uint16_t* x, size_t n, const char* first, const char* last, Pass timesTen) {
  for (const char* p = first; p != last; ++p) {
    if (*p < '0' || *p > '9') continue;
    const uint32_t carry = timesTen(x, n);
    if (carry != 0) x[n++] = static_cast<uint16_t>(carry);
    if (magnitude::addLimb(x, n, static_cast<uint16_t>(*p - '0')) != 0) x[n++] = 1;
  }
  return n;
}

// decimalDigits with the pass byTen(x, n), which divides x[0..n) by ten and
// returns the remainder.
template <class Pass>
inline size_t decimalDigits(uint16_t* x, size_t n, char* digits, Pass byTen) {
  char* out = digits;
  while (n > 0 && x[n - 1] == 0) --n;  // the significant limbs
  // More than two limbs: a pass over them per digit. A quotient by ten has at
  // most one limb fewer than its dividend.
  while (n > 2) {
    *out++ = static_cast<char>('0' + byTen(x, n));
    if (x[n - 1] == 0) --n;
  }
  // At most two: one 32-bit division per digit.
  uint32_t w = n == 0 ? 0 : n == 1 ? x[0] : x[0] | static_cast<uint32_t>(x[1]) << 16;
  do {
    *out++ = static_cast<char>('0' + w % 10);
    w /= 10;
  } while (w != 0);
  return static_cast<size_t>(out - digits);
}

}  // namespace digitsteps

#endif  // LONGSQRT_BIGINT_DIGIT_STEPS_H
