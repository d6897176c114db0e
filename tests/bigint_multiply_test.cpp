// Tests of arbitrary's multiplication: the window, operand exchange, limb and schoolbook products, signs.
#include <climits>

#include "bigint_test_util.h"

namespace {

using namespace bigint_test;

TEST(BigintMultiply, ByAMachineInteger) {
  struct Case {
    arbitrary a;
    int32_t w;
    Rep want;
  };
  std::vector<Case> cases = {
      {0x7FFF, 0x7FFF, Small(0x3FFF0001)},
      {-32768, -32768, Small(0x40000000)},
      {0x40000000, 1, Large({0x0000, 0x4000})},  // outside the window: promoted first
      {5, 10, Small(50)},
      {-5, -7, Small(35)},
      {40000, 10, Large({0x1A80, 0x0006})},
      {3, 100000, Large({0x93E0, 0x0004})},
      {30000, -100000, Large({0x5E00, 0xB2D0}, false)},
      {7, -32769, Large({0x8007, 0x0003}, false)},
      {INT_MIN, -1, Large({0x0000, 0x8000}, true)},
      {0, INT_MIN, Large({0, 0}, false)},  // a zero product flagged negative, equal to 0
      {makeLarge({0x1234, 0x5678}), 65536, Large({0x0000, 0x1234, 0x5678})},
      {makeLarge({0xFFFF, 0xFFFF}), 65535, Large({0x0001, 0xFFFF, 0xFFFE})},
      {makeLarge({1, 2, 3}), INT_MAX, Large({0xFFFF, 0x7FFD, 0xFFFD, 0x8000, 0x0001})},
      {makeLarge({1, 2}, false), 0, Large({0, 0}, false)},
      {makeLarge({1, 2}), -1, Large({1, 2}, false)},
      {makeLarge({0x8000, 0}), 2, Large({0x0000, 0x0001})},
  };
  for (auto& c : cases) {
    std::string before = describe(c.a) + " *= " + std::to_string(c.w);
    c.a *= c.w;
    EXPECT_TRUE(hasRep(c.a, c.want)) << before;
  }
}

TEST(BigintMultiply, ByAnotherValue) {
  struct Case {
    arbitrary a, b;
    Rep want;
    std::optional<Rep> wantB =
        std::nullopt;  // the right operand's form afterwards, when the guard changes it
  };
  std::vector<Case> cases = {
      {32768, 32768, Large({0x0000, 0x4000, 0x0000}), Large({0x8000, 0x0000})},
      {2, 100000, Large({0x0D40, 0x0003}), Large({0x86A0, 0x0001})},
      {makeLarge({0xFFFF, 0xFFFF}), makeLarge({0xFFFF, 0xFFFF}), Large({0x0001, 0x0000, 0xFFFE, 0xFFFF})},
      {makeLarge({1, 2}, false), makeLarge({3, 4}, false), Large({3, 0xA, 8}, true)},
      {makeLarge({1, 2}, false), makeLarge({3, 4}), Large({3, 0xA, 8}, false)},
      {makeLarge({1, 2}, false), 0, Large({0, 0}, false)},
      {makeLarge({1, 2}, false), makeLarge({0, 0}), Large({0, 0, 0}, false)},
      {3, makeLarge({0, 0, 1}, false), Large({0, 0, 3}, false)},
      {makeLarge({1, 2, 3}), makeLarge({2}), Large({2, 4, 6})},
      {makeLarge({5, 0, 0}), makeLarge({7, 0}), Large({35, 0, 0, 0})},
      {makeLarge({0xFFFF}), makeLarge({0xFFFF}), Large({0x0001, 0xFFFE})},
  };
  for (auto& c : cases) {
    std::string before = describe(c.a) + " *= " + describe(c.b);
    mpz_class bValue = toMpz(c.b);
    c.a *= c.b;
    EXPECT_TRUE(hasRep(c.a, c.want)) << before;
    EXPECT_EQ(toMpz(c.b), bValue) << before << ": the right operand changed value";
    if (c.wantB) {
      EXPECT_TRUE(hasRep(c.b, *c.wantB)) << before << ": right operand";
    }
  }
}

TEST(BigintMultiply, SquaresItself) {
  struct Case {
    arbitrary x;
    Rep want;
  };
  std::vector<Case> cases = {
      {-5, Small(25)},
      {32768, Large({0x0000, 0x4000, 0x0000})},
      {makeLarge({0xFFFF, 0xFFFF}), Large({0x0001, 0x0000, 0xFFFE, 0xFFFF})},
      {makeLarge({1, 2}, false), Large({1, 4, 4}, true)},
  };
  for (auto& c : cases) {
    std::string before = describe(c.x);
    c.x *= c.x;
    EXPECT_TRUE(hasRep(c.x, c.want)) << before << " *= itself";
  }
}

TEST(BigintMultiply, ProductsWithHighZeroLimbsCompareByValue) {
  arbitrary a(32768), b(32768);
  a *= b;
  EXPECT_TRUE(a == 1073741824 && a > 1073741823 && !(a > 1073741824) && a < 1073741825) << describe(a);
  arbitrary zero = makeLarge({1, 2}, false);
  zero *= 0;
  EXPECT_TRUE(zero == 0 && !(zero < 0) && !(zero > 0)) << describe(zero);
}

}  // namespace
