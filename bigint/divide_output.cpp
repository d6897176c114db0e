// Division of arbitrary by a machine word and its decimal output, which divides
// a copy by ten once per digit.
#include <algorithm>
#include <cassert>
#include <ostream>
#include <string>

#include "bigint/arbitrary.h"

uint32_t arbitrary::divideByWord(uint32_t d) {
  assert(d != 0);
  if (limbs.size() <= 2) {
    const bool negative = limbs.empty() ? smallValue < 0 : !nonNegative;
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
  // A divisor wider than a limb: the running remainder needs 48 bits.
  uint64_t r = 0;
  for (size_t i = limbs.size(); i-- > 0;) {
    r = (r << 16) | limbs[i];
    limbs[i] = static_cast<uint16_t>(r / d);
    r %= d;
  }
  normalize();
  return static_cast<uint32_t>(r);
}

uint16_t arbitrary::shortDivide(uint16_t d) {
  assert(d != 0);
  uint32_t r = 0;
  for (size_t i = limbs.size(); i-- > 0;) {
    r = (r << 16) | limbs[i];
    limbs[i] = static_cast<uint16_t>(r / d);
    r %= d;
  }
  normalize();
  return static_cast<uint16_t>(r);
}

std::ostream& operator<<(std::ostream& os, arbitrary v) {
  if (v.limbs.empty()) return os << v.smallValue;
  std::string digits;
  digits.reserve(v.limbs.size() * 5 + 1);
  do {
    digits.push_back(static_cast<char>('0' + v.divideByWord(10)));
  } while (!(v == 0));
  std::reverse(digits.begin(), digits.end());
  // The flag is the sign of the value passed in; a zero magnitude has none.
  if (!v.nonNegative && digits != "0") os << '-';
  for (char c : digits) os << c;
  return os;
}
