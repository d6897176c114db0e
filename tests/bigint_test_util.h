// Helpers shared by the arbitrary table tests: build a value in a chosen form and check a form exactly.
#ifndef LONGSQRT_TESTS_BIGINT_TEST_UTIL_H
#define LONGSQRT_TESTS_BIGINT_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bigint/arbitrary.h"
#include "bigint/arbitrary_internals.h"
#include "fuzz/arbitrary_model.h"

namespace bigint_test {

using arbitrary_model::describe;
using arbitrary_model::valueOf;
using Limbs = std::vector<uint16_t>;

// Returns a large-form value holding the limbs (least significant first, at least one) and sign flag.
inline arbitrary makeLarge(const Limbs& limbs, bool nonNegative = true) {
  arbitrary x;
  arbitrary_internals::resizeLimbs(x, limbs.size());
  for (size_t i = 0; i < limbs.size(); ++i) arbitrary_internals::limb(x, i) = limbs[i];
  if (!nonNegative) x.negate();
  return x;
}

// Returns a small-form value v whose sign flag holds the given value.
inline arbitrary makeSmall(int32_t v, bool flag) {
  arbitrary x = makeLarge({0}, flag);
  x = v;
  return x;
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
  Limbs limbs;
  for (size_t i = 0; i < x.limbCount(); ++i) limbs.push_back(x.limb(i));
  bool ok = want.small ? x.isSmall() && x.smallPart() == want.value
                       : !x.isSmall() && x.smallPart() == 0 && limbs == want.limbs;
  if (want.flag && x.nonNegativeFlag() != *want.flag) ok = false;
  if (ok) return ::testing::AssertionSuccess();
  const bool flag = want.flag.value_or(true);
  const arbitrary w = want.small ? makeSmall(want.value, flag) : makeLarge(want.limbs, flag);
  return ::testing::AssertionFailure()
         << "got " << describe(x) << ", want " << describe(w) << (want.flag ? "" : " (any flag)");
}

}  // namespace bigint_test

#endif  // LONGSQRT_TESTS_BIGINT_TEST_UTIL_H
