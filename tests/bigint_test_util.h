// Helpers shared by the arbitrary tests: build a value in a chosen form, describe it, read it into GMP.
#ifndef LONGSQRT_TESTS_BIGINT_TEST_UTIL_H
#define LONGSQRT_TESTS_BIGINT_TEST_UTIL_H

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bigint/arbitrary.h"

namespace bigint_test {

using Limbs = std::vector<uint16_t>;

// Returns a large-form value holding the limbs (least significant first, at least one) and sign flag.
inline arbitrary makeLarge(const Limbs& limbs, bool nonNegative = true) {
  arbitrary x;
  x.resizeLimbs(limbs.size());
  for (size_t i = 0; i < limbs.size(); ++i) x.limb(i) = limbs[i];
  if (!nonNegative) x.negate();
  return x;
}

// Returns a small-form value v whose sign flag holds the given value.
inline arbitrary makeSmall(int32_t v, bool flag) {
  arbitrary x = makeLarge({0}, flag);
  x = v;
  return x;
}

// Returns the limbs of x, least significant first (none in the small form).
inline Limbs limbsOf(const arbitrary& x) {
  Limbs out;
  for (size_t i = 0; i < x.limbCount(); ++i) out.push_back(x.limb(i));
  return out;
}

// Returns the value x's fields denote, read from the representation alone.
inline mpz_class toMpz(const arbitrary& x) {
  if (x.isSmall()) return mpz_class(static_cast<long>(x.smallPart()));
  mpz_class m = 0;
  for (size_t i = x.limbCount(); i-- > 0;) m = m * 65536 + static_cast<unsigned long>(x.limb(i));
  return x.nonNegativeFlag() ? m : mpz_class(-m);
}

// Returns the text x prints as.
inline std::string printed(const arbitrary& x) {
  std::ostringstream os;
  os << x;
  return os.str();
}

// Describes x's form, fields and sign flag, e.g. "large [0x0005 0x0001] flag- (-65541)".
inline std::string describe(const arbitrary& x) {
  std::string s = x.isSmall() ? "small " + std::to_string(x.smallPart()) : "large [";
  char buf[8];
  for (size_t i = 0; i < x.limbCount(); ++i) {
    std::snprintf(buf, sizeof buf, "%s0x%04X", i ? " " : "", static_cast<unsigned>(x.limb(i)));
    s += buf;
  }
  if (!x.isSmall()) s += "]";
  s += x.nonNegativeFlag() ? " flag+" : " flag-";
  if (!x.isSmall()) s += " (" + toMpz(x).get_str() + ")";
  return s;
}

// True when x holds no high zero limb: the small form, or two or more limbs with a non-zero top limb.
inline bool isNormalized(const arbitrary& x) {
  return x.isSmall() || (x.limbCount() >= 2 && x.limb(x.limbCount() - 1) != 0);
}

// An expected representation: a small value or limbs, and the sign flag when it matters.
struct Rep {
  bool small;
  int32_t value;
  Limbs limbs;
  std::optional<bool> flag;
};

// Expects the small form v; the flag is checked only when given.
inline Rep Small(int32_t v, std::optional<bool> flag = std::nullopt) { return {true, v, {}, flag}; }

// Expects the large form with exactly these limbs and this sign flag.
inline Rep Large(Limbs limbs, bool nonNegative = true) { return {false, 0, std::move(limbs), nonNegative}; }

// Checks form, limbs, small field and flag of x against want.
inline ::testing::AssertionResult hasRep(const arbitrary& x, const Rep& want) {
  bool ok = want.small ? x.isSmall() && x.smallPart() == want.value
                       : !x.isSmall() && x.smallPart() == 0 && limbsOf(x) == want.limbs;
  if (want.flag && x.nonNegativeFlag() != *want.flag) ok = false;
  if (ok) return ::testing::AssertionSuccess();
  arbitrary w = want.small ? arbitrary(want.value) : makeLarge(want.limbs, want.flag.value_or(true));
  if (want.small && want.flag) w = makeSmall(want.value, *want.flag);
  return ::testing::AssertionFailure()
         << "got " << describe(x) << ", want " << describe(w) << (want.flag ? "" : " (any flag)");
}

}  // namespace bigint_test

#endif  // LONGSQRT_TESTS_BIGINT_TEST_UTIL_H
