// The values a candidate is judged by, made as the method makes them: built
// from decimal text, squared by multiplying two values of the same text, and
// compared through their difference. For the calculator's own files only:
// calc's public headers do not show arbitrary.
#ifndef LONGSQRT_CALC_CANDIDATE_VALUES_H
#define LONGSQRT_CALC_CANDIDATE_VALUES_H

#include <sstream>
#include <string>

#include "bigint/arbitrary.h"
#include "calc/digit_rule.h"

namespace calc {

// Returns the square of the number a decimal text holds: two values made from
// the text, the first multiplied by the second.
inline arbitrary squareOf(const std::string& digits) {
  arbitrary x(digits.c_str());
  arbitrary factor(digits.c_str());
  x *= factor;
  return x;
}

// Returns the sign of diff = x - noScaledValue, formed as a value made from 0,
// assigned x, then reduced by noScaledValue (which the subtraction may move
// to the large form, its value unchanged).
inline DiffSign signOfDifference(const arbitrary& x, arbitrary& noScaledValue) {
  arbitrary diff(0);
  diff = x;
  diff -= noScaledValue;
  return diff > 0 ? DiffSign::positive : diff < 0 ? DiffSign::negative : DiffSign::zero;
}

// Returns the decimal text of v, as the log shows it.
inline std::string decimalText(const arbitrary& v) {
  std::ostringstream text;
  text << v;
  return text.str();
}

}  // namespace calc

#endif  // LONGSQRT_CALC_CANDIDATE_VALUES_H
