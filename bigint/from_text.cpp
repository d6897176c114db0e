// Construction of arbitrary from decimal text: short texts through the C
// library's conversion, long ones digit by digit with multiply-by-ten-and-add.
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "bigint/arbitrary.h"
#include "bigint/magnitude.h"

namespace {
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

arbitrary::arbitrary(const char* text) : smallValue(0), nonNegative(true) {
  assert(text != nullptr && "a text to read is required");
  const size_t length = std::strlen(text);
  if (length <= 8) {
    // At most 99999999 or -9999999: the conversion cannot overflow.
    smallValue = static_cast<int32_t>(std::strtol(text, nullptr, 10));
    return;
  }
  // Reserve the limbs the digits can need (log2(10) < 16/4.8), unless the
  // value is sure to stay small (at most 327679 ends in the small form). The
  // bytes from the first non-zero digit on bound the significant digits.
  size_t leading = 0;
  while (leading < length && !(text[leading] >= '1' && text[leading] <= '9')) ++leading;
  const size_t significantBound = length - leading;
  const size_t room = significantBound * 10 / 48 + 3;
  if (significantBound > 5) limbs.reserve(room);
  const char* p = text;
  for (; *p != '\0' && isSmall(); ++p) {
    if (!isAsciiDigit(*p)) continue;
    *this *= 10;
    *this += static_cast<int32_t>(*p - '0');
  }
  if (!isSmall()) {
    // The value is large and non-negative from here on, so each *= 10 is a
    // multiplication of the magnitude by the limb 10 and each += the addition
    // of the digit as a limb: the limb layer runs those steps for the rest of
    // the text in the room reserved above, the path chosen once.
    const size_t n = limbs.size();
    assert(n <= room && "the reserved room holds the value");
    limbs.resize(room);  // within the reserved capacity: no allocation
    const size_t grown = magnitude::multiplyByTenAddingDigits(limbs.data(), n, p, text + length);
    assert(grown <= room && "the reserved room holds the value");
    limbs.resize(grown);
  }
  if (isSmall()) limbs.shrink_to_fit();  // a small value holds no heap storage
  if (text[0] == '-') {
    if (isSmall()) {
      smallValue = -smallValue;  // at most 327679 in magnitude
    } else {
      nonNegative = false;
    }
  }
}
