// Multiplication of arbitrary values: one 32-bit product in the small form,
// otherwise a one-pass limb multiply or the schoolbook column product.
#include <algorithm>
#include <cassert>

#include "bigint/arbitrary.h"

// --- Signed layer -------------------------------------------------------------

arbitrary& arbitrary::operator*=(arbitrary& other) {
  if (&other == this) {
    // The product overwrites the limbs it reads, so square through a copy.
    arbitrary copy(other);
    return *this *= copy;
  }
  promoteForMul();
  other.promoteForMul();
  if (limbs.empty()) {
    if (other.limbs.empty()) {
      smallValue *= other.smallValue;  // both inside the window: no overflow
      return *this;
    }
    // small * large == large * small
    const int32_t v = smallValue;
    *this = other;
    return *this *= v;
  }
  if (other.limbs.empty()) return *this *= other.smallValue;
  multiplyMagnitude(other);
  nonNegative = nonNegative == other.nonNegative;
  return *this;
}

arbitrary& arbitrary::multiplyIntSlow(int32_t a) {
  promoteForMul();
  if (!limbs.empty()) {
    multiplyWord(absWord(a));
    nonNegative = (a >= 0) == nonNegative;
    return *this;
  }
  const int32_t v = smallValue;
  if (a > v || a < -0x8000) {
    // v * a == a * v: hold the factor that may lie outside the window, so that
    // the guard of the second call sees it.
    smallValue = a;
    return *this *= v;
  }
  smallValue = v * a;
  return *this;
}

// --- Magnitude layer ----------------------------------------------------------

void arbitrary::multiplyWord(uint32_t w) {
  if (w > 0xFFFFu) {
    arbitrary wide;
    wide.setMagnitude32(w);
    multiplyMagnitude(wide);
  } else {
    multiplyLimb(static_cast<uint16_t>(w));
  }
}

void arbitrary::multiplyLimb(uint16_t m) {
  const size_t n = limbs.size();
  uint32_t carry = 0;
  for (size_t i = 0; i < n; ++i) {
    carry += static_cast<uint32_t>(limbs[i]) * m;
    limbs[i] = static_cast<uint16_t>(carry);
    carry >>= 16;
  }
  if (carry != 0) limbs.push_back(static_cast<uint16_t>(carry));
}

void arbitrary::multiplyMagnitude(const arbitrary& other) {
  assert(&other != this && !limbs.empty() && !other.limbs.empty());
  const std::vector<uint16_t> a(limbs);  // the left factor, read while limbs is overwritten
  const std::vector<uint16_t>& b = other.limbs;
  const size_t na = a.size();
  const size_t nb = b.size();
  if (nb > 1) limbs.resize(na + nb - 1);
  const size_t nr = limbs.size();
  uint64_t acc = 0;
  for (size_t i = 0; i < nr; ++i) {
    // Column i sums a[j] * b[i - j] over every j with both indices in range.
    const size_t jFirst = i >= nb ? i - nb + 1 : 0;
    const size_t jLast = std::min(i, na - 1);
    for (size_t j = jFirst; j <= jLast; ++j) acc += static_cast<uint64_t>(a[j]) * b[i - j];
    limbs[i] = static_cast<uint16_t>(acc);
    acc >>= 16;
  }
  if (acc != 0) limbs.push_back(static_cast<uint16_t>(acc));
}
