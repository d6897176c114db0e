// Comparison of arbitrary values with each other and with machine integers,
// by numeric value whatever the forms; nothing is changed or allocated.
#include "bigint/arbitrary.h"
#include "bigint/magnitude.h"

namespace {

template <class T>
int threeWay(T a, T b) {
  return (a > b) - (a < b);
}

}  // namespace

// A large zero counts as non-negative whatever its flag: it equals 0.
bool arbitrary::valueNonNegative() const noexcept {
  if (isSmall()) return smallValue >= 0;
  return nonNegative || magnitude::significantLength(limbs.data(), limbs.size()) == 0;
}

int arbitrary::compare(int32_t w) const noexcept {
  if (isSmall()) return threeWay(smallValue, w);
  const bool xNonNegative = valueNonNegative();
  if (xNonNegative != (w >= 0)) return xNonNegative ? 1 : -1;
  // Beyond two significant limbs the magnitude exceeds every word; otherwise
  // the two low limbs hold all of it.
  const int byMagnitude = magnitude::significantLength(limbs.data(), limbs.size()) > 2
                              ? 1
                              : threeWay(magnitudeLow32(), absWord(w));
  return xNonNegative ? byMagnitude : -byMagnitude;
}

int arbitrary::compare(const arbitrary& b) const noexcept {
  if (b.isSmall()) return compare(b.smallValue);
  if (isSmall()) return -b.compare(smallValue);  // v vs b == -(b vs v)
  const bool aNonNegative = valueNonNegative();
  if (aNonNegative != b.valueNonNegative()) return aNonNegative ? 1 : -1;
  const int byMagnitude = magnitude::compare(limbs.data(), limbs.size(), b.limbs.data(), b.limbs.size());
  return aNonNegative ? byMagnitude : -byMagnitude;
}
