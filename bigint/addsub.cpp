// Addition and subtraction of arbitrary values: a signed layer that dispatches
// on forms and signs to the magnitude members, which run the limb loops.
#include <algorithm>
#include <cassert>

#include "bigint/arbitrary.h"
#include "bigint/magnitude.h"

// --- Signed layer -------------------------------------------------------------

arbitrary& arbitrary::operator+=(arbitrary& other) {
  return keepingSmallOnFailure([&]() -> arbitrary& {
    promoteForAdd();
    other.promoteForAdd();
    if (isSmall()) {
      if (other.isSmall()) {
        smallValue += other.smallValue;  // both inside the guard: no overflow
        return *this;
      }
      // small + large == large + small
      const int32_t v = smallValue;
      *this = other;
      return *this += v;
    }
    if (other.isSmall()) return *this += other.smallValue;
    // Equal signs add magnitudes; opposite signs subtract them.
    if (nonNegative == other.nonNegative) {
      addMagnitude(other.limbs.data(), other.limbs.size());
    } else {
      subtractMagnitude(other.limbs.data(), other.limbs.size());
    }
    return *this;
  });
}

arbitrary& arbitrary::operator-=(arbitrary& other) {
  return keepingSmallOnFailure([&]() -> arbitrary& {
    promoteForAdd();
    other.promoteForAdd();
    if (isSmall()) {
      if (other.isSmall()) {
        smallValue -= other.smallValue;
        return *this;
      }
      // small - large == -(large - small)
      const int32_t v = smallValue;
      *this = other;
      *this -= v;
      return negate();
    }
    if (other.isSmall()) return *this -= other.smallValue;
    // a - b subtracts magnitudes when the signs agree and adds them otherwise.
    if (nonNegative == other.nonNegative) {
      subtractMagnitude(other.limbs.data(), other.limbs.size());
    } else {
      addMagnitude(other.limbs.data(), other.limbs.size());
    }
    return *this;
  });
}

arbitrary& arbitrary::addIntSlow(int32_t a) {
  return keepingSmallOnFailure([&]() -> arbitrary& {
    promoteForAdd();
    if (!isSmall()) {
      if ((a >= 0) == nonNegative) {
        addWord(absWord(a));
      } else {
        subtractWord(absWord(a));
      }
      return *this;
    }
    assert(!smallrange::fitsAddArgument(a) && "the inline += takes every argument inside the window");
    // v + a == a + v: hold a, which the guard of the second call promotes.
    const int32_t v = smallValue;
    smallValue = a;
    return *this += v;
  });
}

arbitrary& arbitrary::subtractIntSlow(int32_t a) {
  return keepingSmallOnFailure([&]() -> arbitrary& {
    promoteForAdd();
    if (!isSmall()) {
      if ((a >= 0) == nonNegative) {
        subtractWord(absWord(a));
      } else {
        addWord(absWord(a));
      }
      return *this;
    }
    assert(!smallrange::fitsAddArgument(a) && "the inline -= takes every argument inside the window");
    // v - a == -(a - v): hold a, which the guard of the second call promotes.
    const int32_t v = smallValue;
    smallValue = a;
    *this -= v;
    return negate();
  });
}

// --- Magnitude layer ----------------------------------------------------------

// A word wider than a limb is the two-limb magnitude setMagnitude32 gives it.
void arbitrary::addWord(uint32_t w) {
  if (w > 0xFFFFu) {
    const WordLimbs y = limbsOf(w);
    addMagnitude(y.limb, 2);
  } else {
    addLimb(static_cast<uint16_t>(w));
  }
}

void arbitrary::subtractWord(uint32_t w) {
  if (w > 0xFFFFu) {
    const WordLimbs y = limbsOf(w);
    subtractMagnitude(y.limb, 2);
  } else {
    subtractLimb(static_cast<uint16_t>(w));
  }
}

void arbitrary::addMagnitude(const uint16_t* y, size_t m) {
  assert(!isSmall() && m > 0 && "magnitudes are added in the large form");
  const bool own = y == limbs.data();           // x += x
  reserveLimbs(std::max(limbs.size(), m) + 1);  // the carry limb too, before a limb is written
  if (own) y = limbs.data();
  if (limbs.size() < m) limbs.resize(m);  // y is not our own limbs when they are shorter
  if (magnitude::add(limbs.data(), limbs.size(), y, m) != 0) limbs.push_back(1);
}

// Replaces the limbs, which hold the two's complement of a negative difference,
// by its magnitude and flips the sign.
void arbitrary::complementBorrowedDifference() {
  magnitude::complement(limbs.data(), limbs.size());
  addLimb(1);  // what += 1 or -= 1 reaches on a large value of either sign
  nonNegative = !nonNegative;
}

void arbitrary::subtractMagnitude(const uint16_t* y, size_t m) {
  assert(!isSmall() && m > 0 && "magnitudes are subtracted in the large form");
  if (limbs.size() < m) limbs.resize(m);  // y is not our own limbs when they are shorter
  if (magnitude::subtract(limbs.data(), limbs.size(), y, m) != 0) complementBorrowedDifference();
  normalize();
}

void arbitrary::subtractLimb(uint16_t d) {
  assert(!isSmall() && "magnitudes are subtracted in the large form");
  if (magnitude::subtractLimb(limbs.data(), limbs.size(), d) != 0) complementBorrowedDifference();
  normalize();
}
