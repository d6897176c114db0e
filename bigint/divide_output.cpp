// Division of arbitrary by a machine word and its decimal output, which divides
// a copy by ten once per digit.
#include <algorithm>
#include <cassert>
#include <ostream>
#include <string>

#include "bigint/arbitrary.h"

uint32_t arbitrary::divideByWord(uint32_t d) {
  assert(d != 0 && "division by zero");
  if (limbs.size() <= 2) {
    const bool negative = isSmall() ? smallValue < 0 : !nonNegative;
    const uint32_t m = magnitudeLow32();
    const uint32_t q = m / d;
    const uint32_t r = m % d;
    if (q > (negative ? 0x80000000u : 0x7FFFFFFFu)) {
      return r;  // only d == 1 on a large value: the quotient is the value itself
    }
    *this = negative ? static_cast<int32_t>(0u - q) : static_cast<int32_t>(q);
    return r;
  }
  if (d <= 0xFFFFu) return shortDivide(static_cast<uint16_t>(d));
  const uint32_t r = magnitude::divideByWord(limbs.data(), limbs.size(), d);
  normalize();
  return r;
}

uint16_t arbitrary::shortDivide(uint16_t d) {
  assert(d != 0 && "division by zero");
  const uint32_t r = d == 10 ? magnitude::divideBy10(limbs.data(), limbs.size())
                             : magnitude::divideByLimb(limbs.data(), limbs.size(), d);
  normalize();
  return static_cast<uint16_t>(r);
}

std::ostream& operator<<(std::ostream& os, arbitrary v) {
  if (v.isSmall()) return os << v.smallValue;
  // The flag is the sign of the value passed in; a zero magnitude has none.
  const bool negative = !v.valueNonNegative();
  std::string digits;
  digits.reserve(v.limbs.size() * 5 + 1);
  do {
    digits.push_back(static_cast<char>('0' + v.divideByWord(10)));
  } while (!(v == 0));
  std::reverse(digits.begin(), digits.end());
  if (negative) os << '-';
  for (char c : digits) os << c;
  return os;
}
