// Representation of arbitrary: construction, assignment, negation and the
// form changes (promotion, the guards' target, normalization).
#include <algorithm>
#include <cassert>
#include <utility>

#include "bigint/arbitrary.h"

arbitrary::arbitrary(arbitrary&& other) noexcept
    : smallValue(other.smallValue), limbs(std::move(other.limbs)), nonNegative(other.nonNegative) {
  other.smallValue = 0;
  other.limbs.clear();
}

arbitrary& arbitrary::operator=(const arbitrary& s) {
  if (this == &s) return *this;
  if (!s.isSmall()) {
    limbs = s.limbs;  // first: a failed copy leaves this value as it was
    smallValue = 0;
    nonNegative = s.nonNegative;
  } else {
    // A small source carries no sign flag, so ours stays as it was.
    smallValue = s.smallValue;
    if (!isSmall()) limbs.clear();
  }
  return *this;
}

arbitrary& arbitrary::operator=(arbitrary&& s) noexcept {
  if (this == &s) return *this;
  if (!s.isSmall()) {
    limbs = std::move(s.limbs);
    smallValue = 0;
    nonNegative = s.nonNegative;
  } else {
    smallValue = s.smallValue;  // a small source keeps our flag, as in the copy
    if (!isSmall()) limbs.clear();
  }
  s.smallValue = 0;
  s.limbs.clear();
  return *this;
}

arbitrary& arbitrary::negate() {
  if (!isSmall()) {
    nonNegative = !nonNegative;
  } else if (smallValue == INT32_MIN) {
    setMagnitude32(0x80000000u);  // 2147483648 has no small form
  } else {
    smallValue = -smallValue;
  }
  return *this;
}

uint16_t arbitrary::limb(size_t i) const noexcept {
  assert(i < limbs.size() && "limb index past the top limb");
  return limbs[i];
}

void arbitrary::setMagnitude32(uint32_t w) {
  limbs.resize(2);  // first: a failed resize leaves this value as it was
  smallValue = 0;
  const WordLimbs y = limbsOf(w);
  limbs[0] = y.limb[0];
  limbs[1] = y.limb[1];
  nonNegative = true;
}

void arbitrary::promote() {
  assert(isSmall() && "only a small value is promoted");
  const bool sign = smallValue >= 0;
  setMagnitude32(absWord(smallValue));
  nonNegative = sign;
}

void arbitrary::normalize() {
  if (isSmall()) return;
  size_t n = limbs.size();
  while (n > 1 && limbs[n - 1] == 0) --n;
  if (n == 1) {
    const int32_t v = limbs[0];
    limbs.clear();
    smallValue = nonNegative ? v : -v;  // the flag itself stays
  } else {
    limbs.resize(n);
  }
}

void arbitrary::reserveLimbs(size_t n) {
  if (limbs.capacity() < n) limbs.reserve(std::max(n, 2 * limbs.capacity()));
}

void arbitrary::reserveCarryOfAddLimb(uint16_t d) {
  // x + d reaches 65536^n only when limb 0 carries and every limb above it is 0xFFFF.
  if (static_cast<uint32_t>(limbs[0]) + d <= 0xFFFFu) return;
  for (size_t i = 1; i < limbs.size(); ++i) {
    if (limbs[i] != 0xFFFFu) return;
  }
  reserveLimbs(limbs.size() + 1);
}

void arbitrary::reserveCarryOfMultiplyLimb(uint16_t m) {
  // x < (top + 1) * 65536^(n-1), so x * m stays below 65536^n when (top + 1) * m <= 65536.
  if ((static_cast<uint32_t>(limbs.back()) + 1) * m > 0x10000u) reserveLimbs(limbs.size() + 1);
}

uint32_t arbitrary::magnitudeLow32() const noexcept {
  if (isSmall()) return absWord(smallValue);
  const uint32_t high = limbs.size() > 1 ? limbs[1] : 0u;
  return (high << 16) | limbs[0];
}
