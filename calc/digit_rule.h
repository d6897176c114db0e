// The rule that decides a place's digit from what its candidates showed: the
// one rule of the digit loop on one thread or several, and of the log reader.
#ifndef LONGSQRT_CALC_DIGIT_RULE_H
#define LONGSQRT_CALC_DIGIT_RULE_H

#include <cstdint>
#include <optional>

namespace calc {

// What judging a candidate showed: the sign of diff, its square minus the
// scaled radicand.
enum class DiffSign { negative, zero, positive };

// How a place ended: case 1, a candidate's square overshot the scaled
// radicand; case 2, even 9 left it below (the limit block).
enum class Case { overshoot, limit };

// A place's digit and the case that took it.
struct Decision {
  int32_t digit = 0;
  Case how = Case::overshoot;
};

// Returns how candidate n decides its place, given that no candidate below n
// overshot (so prevDigit, the last candidate whose square did not exceed the
// scaled radicand, is n - 1, or 0 at n = 0); nothing when the place goes on
// with n + 1. Candidates are judged in increasing order and the first that
// decides ends the place. An exact match (diff = 0) never decides: the digit
// is taken when the next candidate overshoots. Precondition: 0 <= n <= 9.
constexpr std::optional<Decision> decide(int32_t n, DiffSign diff) {
  const int32_t prevDigit = n == 0 ? 0 : n - 1;
  if (diff == DiffSign::positive) return Decision{prevDigit, Case::overshoot};
  // 9 cannot match exactly: no * 100^k is a perfect square only when no is
  // one, and then its root ends in 0.
  if (diff == DiffSign::negative && n == 9) return Decision{9, Case::limit};
  return std::nullopt;
}

}  // namespace calc

#endif  // LONGSQRT_CALC_DIGIT_RULE_H
