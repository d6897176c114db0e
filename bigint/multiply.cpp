// Multiplication of arbitrary values: one 32-bit product in the small form,
// otherwise a one-pass limb multiply or the schoolbook column product.
#include <cassert>

#include "bigint/arbitrary.h"
#include "bigint/magnitude.h"

// --- Signed layer -------------------------------------------------------------

arbitrary& arbitrary::operator*=(arbitrary& other) {
  return keepingSmallOnFailure([&]() -> arbitrary& {
    if (&other == this) {
      // The product overwrites the limbs it reads, so square through a copy.
      arbitrary copy(other);
      return *this *= copy;
    }
    promoteForMul();
    other.promoteForMul();
    if (isSmall()) {
      if (other.isSmall()) {
        smallValue *= other.smallValue;  // both inside the window: no overflow
        return *this;
      }
      // small * large == large * small
      const int32_t v = smallValue;
      *this = other;
      return *this *= v;
    }
    if (other.isSmall()) return *this *= other.smallValue;
    multiplyMagnitude(other.limbs.data(), other.limbs.size());
    nonNegative = nonNegative == other.nonNegative;
    return *this;
  });
}

arbitrary& arbitrary::multiplyIntSlow(int32_t a) {
  return keepingSmallOnFailure([&]() -> arbitrary& {
    promoteForMul();
    if (!isSmall()) {
      multiplyWord(absWord(a));
      nonNegative = (a >= 0) == nonNegative;
      return *this;
    }
    assert(!smallrange::fitsMulWindow(a) && "the inline *= multiplies every factor inside the window");
    // v * a == a * v: hold a, so that the guard of the second call promotes it.
    const int32_t v = smallValue;
    smallValue = a;
    return *this *= v;
  });
}

// --- Magnitude layer ----------------------------------------------------------

// A word wider than a limb is the two-limb magnitude setMagnitude32 gives it.
void arbitrary::multiplyWord(uint32_t w) {
  if (w > 0xFFFFu) {
    const WordLimbs y = limbsOf(w);
    multiplyMagnitude(y.limb, 2);
  } else {
    multiplyLimb(static_cast<uint16_t>(w));
  }
}

// The product of n and m limbs keeps n + m - 1 limbs, high zero ones
// included, and gains the limb above them only when it is not zero.
void arbitrary::multiplyMagnitude(const uint16_t* y, size_t m) {
  assert(!isSmall() && m > 0 && "magnitudes are multiplied in the large form");
  assert(y != limbs.data() && "the product overwrites the limbs it reads: square through a copy");
  const size_t n = limbs.size();
  limbs.reserve(n + m);  // one allocation at most, the carry limb included
  limbs.resize(n + m - 1);
  uint16_t top;
  try {
    top = magnitude::multiply(limbs.data(), limbs.data(), n, y, m);
  } catch (...) {
    limbs.resize(n);  // the product's scratch could not grow: drop the zero limbs again
    throw;
  }
  if (top != 0) limbs.push_back(top);
}
