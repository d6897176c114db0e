// Addition and subtraction of arbitrary values: a signed layer that dispatches
// on forms and signs, over magnitude loops that carry or borrow limb by limb.
#include <cassert>

#include "bigint/arbitrary.h"

// --- Signed layer -------------------------------------------------------------

arbitrary& arbitrary::operator+=(arbitrary& other) {
  promoteForAdd();
  other.promoteForAdd();
  if (limbs.empty()) {
    if (other.limbs.empty()) {
      smallValue += other.smallValue;  // both inside the guard range: no overflow
      return *this;
    }
    // small + large == large + small
    const int32_t v = smallValue;
    *this = other;
    return *this += v;
  }
  if (other.limbs.empty()) return *this += other.smallValue;
  // Equal signs add magnitudes; opposite signs subtract them.
  if (nonNegative == other.nonNegative) {
    addMagnitude(other);
  } else {
    subtractMagnitude(other);
  }
  return *this;
}

arbitrary& arbitrary::operator-=(arbitrary& other) {
  promoteForAdd();
  other.promoteForAdd();
  if (limbs.empty()) {
    if (other.limbs.empty()) {
      smallValue -= other.smallValue;
      return *this;
    }
    // small - large == -(large - small)
    const int32_t v = smallValue;
    *this = other;
    *this -= v;
    return negate();
  }
  if (other.limbs.empty()) return *this -= other.smallValue;
  // a - b subtracts magnitudes when the signs agree and adds them otherwise.
  if (nonNegative == other.nonNegative) {
    subtractMagnitude(other);
  } else {
    addMagnitude(other);
  }
  return *this;
}

arbitrary& arbitrary::addIntSlow(int32_t a) {
  promoteForAdd();
  if (!limbs.empty()) {
    if ((a >= 0) == nonNegative) {
      addWord(absWord(a));
    } else {
      subtractWord(absWord(a));
    }
    return *this;
  }
  // The inline operator took every argument inside the window, and the guard
  // left the object inside its range: only an argument outside comes here.
  assert(a > 0x3FFFFFFF || a < -0x40000000);
  // v + a == a + v: hold a, which the guard of the second call promotes.
  const int32_t v = smallValue;
  smallValue = a;
  return *this += v;
}

arbitrary& arbitrary::subtractIntSlow(int32_t a) {
  promoteForAdd();
  if (!limbs.empty()) {
    if ((a >= 0) == nonNegative) {
      subtractWord(absWord(a));
    } else {
      addWord(absWord(a));
    }
    return *this;
  }
  // The inline operator took every argument inside the window, and the guard
  // left the object inside its range: only an argument outside comes here.
  assert(a > 0x3FFFFFFF || a < -0x40000000);
  // v - a == -(a - v): hold a, which the guard of the second call promotes.
  const int32_t v = smallValue;
  smallValue = a;
  *this -= v;
  return negate();
}

// --- Magnitude layer ----------------------------------------------------------

void arbitrary::addWord(uint32_t w) {
  if (w > 0xFFFFu) {
    arbitrary wide;
    wide.setMagnitude32(w);
    addMagnitude(wide);
  } else {
    addLimb(static_cast<uint16_t>(w));
  }
}

void arbitrary::subtractWord(uint32_t w) {
  if (w > 0xFFFFu) {
    arbitrary wide;
    wide.setMagnitude32(w);
    subtractMagnitude(wide);
  } else {
    subtractLimb(static_cast<uint16_t>(w));
  }
}

void arbitrary::addMagnitude(const arbitrary& other) {
  assert(!limbs.empty() && !other.limbs.empty());
  const size_t m = other.limbs.size();
  if (limbs.size() < m) limbs.resize(m);
  const size_t n = limbs.size();
  uint32_t carry = 0;
  for (size_t i = 0; i < n; ++i) {
    carry += limbs[i];
    if (i < m) carry += other.limbs[i];
    limbs[i] = static_cast<uint16_t>(carry);
    carry >>= 16;
  }
  if (carry != 0) limbs.push_back(static_cast<uint16_t>(carry));
}

// Replaces the limbs, which hold the two's complement of a negative difference,
// by its magnitude and flips the sign.
void arbitrary::complementBorrowedDifference() {
  for (uint16_t& l : limbs) l = static_cast<uint16_t>(l ^ 0xFFFFu);
  addLimb(1);  // what += 1 or -= 1 reaches on a large value of either sign
  nonNegative = !nonNegative;
}

void arbitrary::subtractMagnitude(const arbitrary& other) {
  assert(!limbs.empty() && !other.limbs.empty());
  const size_t m = other.limbs.size();
  if (limbs.size() < m) limbs.resize(m);
  const size_t n = limbs.size();
  uint32_t w = 1;  // 1: no borrow pending, 0: borrow
  for (size_t i = 0; i < n; ++i) {
    w += 0xFFFFu;
    w += limbs[i];
    if (i < m) w -= other.limbs[i];
    limbs[i] = static_cast<uint16_t>(w);
    w >>= 16;
  }
  if (w != 1) complementBorrowedDifference();
  normalize();
}

void arbitrary::carryFrom(size_t i) {
  const size_t n = limbs.size();
  for (; i < n; ++i) {
    if (++limbs[i] != 0) return;  // this limb took the carry without overflowing
  }
  limbs.push_back(1);
}

void arbitrary::subtractLimb(uint16_t d) {
  const size_t n = limbs.size();
  uint32_t w = 0x10000u - d;
  if (n > 0) {
    w += limbs[0];
    limbs[0] = static_cast<uint16_t>(w);
    w >>= 16;
  }
  for (size_t i = 1; i < n && w != 1; ++i) {
    w += 0xFFFFu;
    w += limbs[i];
    limbs[i] = static_cast<uint16_t>(w);
    w >>= 16;
  }
  if (w != 1) complementBorrowedDifference();
  normalize();
}
