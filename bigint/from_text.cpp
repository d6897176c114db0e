// Construction of arbitrary from decimal text: short texts through the C
// library's conversion, long ones digit by digit with multiply-by-ten-and-add.
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "bigint/arbitrary.h"

namespace {
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

arbitrary::arbitrary(const char* text) : smallValue(0), nonNegative(true) {
  assert(text != nullptr);
  const size_t length = std::strlen(text);
  if (length <= 8) {
    // At most 99999999 or -9999999: the conversion cannot overflow.
    smallValue = static_cast<int32_t>(std::strtol(text, nullptr, 10));
    return;
  }
  // Reserve the limbs the digits can need (log2(10) < 16/4.8), unless the
  // value is sure to stay small (at most 327679 ends in the small form).
  size_t significant = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (isAsciiDigit(*p) && (significant > 0 || *p != '0')) ++significant;
  }
  if (significant > 5) limbs.reserve(significant * 10 / 48 + 3);
  for (const char* p = text; *p != '\0'; ++p) {
    if (!isAsciiDigit(*p)) continue;
    *this *= 10;
    *this += static_cast<int32_t>(*p - '0');
  }
  if (limbs.empty()) limbs.shrink_to_fit();  // a small value holds no heap storage
  if (text[0] == '-') {
    if (limbs.empty()) {
      smallValue = -smallValue;  // at most 327679 in magnitude
    } else {
      nonNegative = false;
    }
  }
}
