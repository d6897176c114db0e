// Division of arbitrary by a machine word and its decimal output, which divides
// a copy by ten once per digit.
#include <algorithm>
#include <cassert>
#include <charconv>
#include <ostream>
#include <string>
#include <string_view>

#include "bigint/arbitrary.h"
#include "bigint/magnitude.h"

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

// The text, sign included, goes to the stream as one string, so the stream's
// width, fill and adjustment apply to the whole value and its base to none.
std::ostream& operator<<(std::ostream& os, arbitrary v) {
  if (v.isSmall()) {
    char text[16];
    const char* end = std::to_chars(text, text + sizeof text, v.smallValue).ptr;
    return os << std::string_view(text, static_cast<size_t>(end - text));
  }
  const bool negative = !v.valueNonNegative();
  // Division by ten until the quotient is 0, as divideByWord(10) would take the
  // copy down: a pass over its limbs per digit while it has more than two, a
  // 32-bit division per digit after.
  std::string text(v.limbs.size() * 5 + 2, '\0');  // 65536 has five digits, and a sign
  text.resize(magnitude::decimalDigits(v.limbs.data(), v.limbs.size(), &text[0]));
  if (negative) text.push_back('-');
  std::reverse(text.begin(), text.end());
  return os << text;
}
