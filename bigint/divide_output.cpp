// Division of arbitrary by a machine word and its decimal output, which divides
// a copy by ten once per digit.
#include <algorithm>
#include <cassert>
#include <ostream>
#include <string>

#include "bigint/arbitrary.h"
#include "bigint/wide.h"

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

namespace {

// Divides the limbs p[0..n) in place by d, two limbs per step, and returns the
// remainder; the quotient limbs are those of a one-limb loop.
uint32_t divideLimbs(uint16_t* p, size_t n, uint64_t d) {
  uint64_t r = 0;
  size_t i = n;
  if (i % 2 != 0) {
    --i;
    r = p[i];
    p[i] = static_cast<uint16_t>(r / d);
    r %= d;
  }
  while (i > 0) {
    i -= 2;
    const uint64_t x = r << 32 | static_cast<uint64_t>(p[i + 1]) << 16 | p[i];
    const uint64_t q = x / d;  // below 2^32 since r < d <= 65535
    r = x - q * d;
    p[i] = static_cast<uint16_t>(q);
    p[i + 1] = static_cast<uint16_t>(q >> 16);
  }
  return static_cast<uint32_t>(r);
}

// Divides the limbs p[0..n) in place by 10, four limbs per step, and returns
// the remainder; the quotient limbs are those of a one-limb loop. With r < 10
// carried in and the next word c == 10 * cq + cr, since 2^64 == 10 * K + 6,
//   r * 2^64 + c == 10 * (r * K + cq) + (6r + cr),
// so the word's quotient is r * K + cq + (6r + cr) / 10 and the remainder
// passed on is (6r + cr) mod 10: only that small step waits for r.
uint32_t divideLimbsBy10(uint16_t* p, size_t n) {
  constexpr uint64_t kWordTenth = 0xFFFFFFFFFFFFFFFFu / 10;  // K == floor(2^64 / 10)
  size_t i = n;
  uint32_t r = 0;
  while (i % 4 != 0) {
    --i;
    const uint32_t x = r << 16 | p[i];
    p[i] = static_cast<uint16_t>(x / 10);
    r = x % 10;
  }
  while (i > 0) {
    i -= 4;
    const uint64_t c = wide::load4(p + i);
    const uint64_t cq = c / 10;
    const uint32_t s = static_cast<uint32_t>(c - cq * 10) + 6 * r;  // below 64
    const uint32_t sq = s / 10;
    wide::store4(p + i, r * kWordTenth + cq + sq);
    r = s - sq * 10;
  }
  return r;
}

}  // namespace

uint16_t arbitrary::shortDivide(uint16_t d) {
  assert(d != 0);
  const uint32_t r = d == 10 ? divideLimbsBy10(limbs.data(), limbs.size())
                             : divideLimbs(limbs.data(), limbs.size(), static_cast<uint64_t>(d));
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
