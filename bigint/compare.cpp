// Comparison of arbitrary values with each other and with machine integers,
// by numeric value whatever the forms; nothing is changed or allocated.
#include "bigint/arbitrary.h"

size_t arbitrary::significantLength() const noexcept {
  size_t n = limbs.size();
  while (n > 0 && limbs[n - 1] == 0) --n;
  return n;
}

bool arbitrary::magnitudeGreater(const arbitrary& b) const noexcept {
  const size_t la = significantLength();
  const size_t lb = b.significantLength();
  if (la != lb) return la > lb;
  for (size_t i = la; i-- > 0;) {
    if (limbs[i] != b.limbs[i]) return limbs[i] > b.limbs[i];
  }
  return false;
}

bool arbitrary::magnitudeLess(const arbitrary& b) const noexcept { return b.magnitudeGreater(*this); }

// The word tests: a significant length above 2 exceeds every word; otherwise
// the two low limbs hold the whole magnitude.
bool arbitrary::magnitudeGreaterWord(uint32_t m) const noexcept {
  if (significantLength() > 2) return true;
  return magnitudeLow32() > m;
}

bool arbitrary::magnitudeLessWord(uint32_t m) const noexcept {
  if (significantLength() > 2) return false;
  return magnitudeLow32() < m;
}

bool arbitrary::magnitudeEqualsWord(uint32_t m) const noexcept {
  if (significantLength() > 2) return false;
  return magnitudeLow32() == m;
}

bool arbitrary::operator>(const arbitrary& b) const noexcept {
  if (limbs.empty() && b.limbs.empty()) return smallValue > b.smallValue;
  if (b.limbs.empty()) return *this > b.smallValue;
  if (limbs.empty()) return b < smallValue;  // v > b  ==  b < v
  // A large zero counts as non-negative whatever its flag.
  const bool aNonNegative = nonNegative || significantLength() == 0;
  const bool bNonNegative = b.nonNegative || b.significantLength() == 0;
  if (aNonNegative != bNonNegative) return aNonNegative;
  return aNonNegative ? magnitudeGreater(b) : magnitudeLess(b);
}

bool arbitrary::operator>(int32_t w) const noexcept {
  if (limbs.empty()) return smallValue > w;
  const bool xNonNegative = nonNegative || significantLength() == 0;
  const bool wNonNegative = w >= 0;
  if (xNonNegative != wNonNegative) return xNonNegative;
  return xNonNegative ? magnitudeGreaterWord(absWord(w)) : magnitudeLessWord(absWord(w));
}

bool arbitrary::operator<(int32_t w) const noexcept {
  if (limbs.empty()) return smallValue < w;
  const bool xNonNegative = nonNegative || significantLength() == 0;
  const bool wNonNegative = w >= 0;
  if (xNonNegative != wNonNegative) return wNonNegative;
  return xNonNegative ? magnitudeLessWord(absWord(w)) : magnitudeGreaterWord(absWord(w));
}

bool arbitrary::operator==(int32_t w) const noexcept {
  if (limbs.empty()) return smallValue == w;
  const bool xNonNegative = nonNegative || significantLength() == 0;
  const bool wNonNegative = w >= 0;
  if (xNonNegative != wNonNegative) return false;
  return magnitudeEqualsWord(absWord(w));
}
