// Representation of arbitrary: construction, assignment, negation and the
// form changes (promotion, the guards' target, normalization).
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
    smallValue = 0;
    limbs = s.limbs;
    nonNegative = s.nonNegative;
  } else {
    // A small source carries no sign flag, so ours stays as it was.
    smallValue = s.smallValue;
    if (!isSmall()) limbs.clear();
  }
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

uint16_t& arbitrary::limb(size_t i) noexcept {
  assert(i < limbs.size() && "limb index past the top limb");
  return limbs[i];
}

uint16_t arbitrary::limb(size_t i) const noexcept {
  assert(i < limbs.size() && "limb index past the top limb");
  return limbs[i];
}

void arbitrary::resizeLimbs(size_t n) {
  if (isSmall() && n > 0) {
    smallValue = 0;
    nonNegative = true;
  }
  limbs.resize(n);
}

void arbitrary::setMagnitude32(uint32_t w) {
  smallValue = 0;
  limbs.resize(2);
  limbs[0] = static_cast<uint16_t>(w & 0xFFFFu);
  limbs[1] = static_cast<uint16_t>(w >> 16);
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

uint32_t arbitrary::magnitudeLow32() const noexcept {
  if (isSmall()) return absWord(smallValue);
  const uint32_t high = limbs.size() > 1 ? limbs[1] : 0u;
  return (high << 16) | limbs[0];
}
