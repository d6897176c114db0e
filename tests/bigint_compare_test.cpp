// Tests of arbitrary's comparisons: by value whatever the forms, high zero limbs and flagged zeros included.
#include <climits>

#include "bigint_test_util.h"

namespace {

using namespace bigint_test;

TEST(BigintCompare, AgainstMachineIntegers) {
  struct Case {
    arbitrary x;
    int32_t w;
    int order;  // sign of x - w
  };
  const arbitrary l65536 = makeLarge({0, 1});
  const arbitrary product = makeLarge({0x0000, 0x4000, 0x0000});  // 1073741824 with a zero top limb
  const arbitrary m70000 = makeLarge({0x1170, 0x0001}, false);
  const arbitrary minusZero = makeLarge({0, 0}, false);
  const arbitrary three = makeLarge({0, 0, 1});
  const arbitrary minusThree = makeLarge({0, 0, 1}, false);
  std::vector<Case> cases = {
      {-1, -2, 1},
      {5, 5, 0},
      {INT_MIN, INT_MAX, -1},
      {INT_MAX, INT_MIN, 1},
      {l65536, 0, 1},
      {l65536, 65535, 1},
      {l65536, 65536, 0},
      {l65536, 65537, -1},
      {l65536, -65536, 1},
      {product, 1073741824, 0},
      {product, 1073741823, 1},
      {product, 1073741825, -1},
      {m70000, -70001, 1},
      {m70000, -69999, -1},
      {m70000, -70000, 0},
      {m70000, 0, -1},
      {m70000, 70000, -1},
      {makeLarge({0, 0x8000}, false), INT_MIN, 0},
      {makeLarge({0, 0x8000}, false), -INT_MAX, -1},
      {makeLarge({0, 0x8000}), INT_MAX, 1},
      {makeLarge({0xFFFF, 0xFFFF}), INT_MAX, 1},
      {makeLarge({0xFFFF, 0xFFFF}, false), INT_MIN, -1},
      {minusZero, 0, 0},
      {minusZero, -1, 1},
      {minusZero, 1, -1},
      {makeLarge({0, 0, 0}), 0, 0},
      {three, INT_MAX, 1},
      {three, INT_MIN, 1},
      {minusThree, INT_MAX, -1},
      {minusThree, INT_MIN, -1},
      {makeLarge({5, 0, 0, 0}, false), -5, 0},
      {makeLarge({1, 0}, false), -1, 0},
      {makeLarge({7}), 7, 0},
      {makeLarge({7}, false), -8, 1},
  };
  for (const auto& c : cases) {
    std::string before = describe(c.x);
    EXPECT_EQ(c.x > c.w, c.order > 0) << before << " > " << c.w;
    EXPECT_EQ(c.x < c.w, c.order < 0) << before << " < " << c.w;
    EXPECT_EQ(c.x == c.w, c.order == 0) << before << " == " << c.w;
    EXPECT_EQ(describe(c.x), before) << "a comparison changed its operand";
  }
}

TEST(BigintCompare, BetweenTwoValues) {
  struct Case {
    arbitrary a, b;
    bool aGreater, bGreater;
  };
  const arbitrary l70000 = makeLarge({0x1170, 0x0001});
  std::vector<Case> cases = {
      {-1, -2, true, false},
      {5, 5, false, false},
      {INT_MIN, INT_MAX, false, true},
      {makeLarge({0, 0, 1}), makeLarge({0xFFFF, 0xFFFF}), true, false},
      {makeLarge({0, 0, 1}, false), makeLarge({0xFFFF, 0xFFFF}, false), false, true},
      {makeLarge({1, 0}, false), makeLarge({0, 0, 1}), false, true},
      {makeLarge({0, 0x4000, 0}), 1073741824, false, false},
      {l70000, 69999, true, false},
      {0, makeLarge({0x1170, 0x0001}, false), true, false},
      {makeLarge({0, 0}, false), 0, false, false},
      {makeLarge({0, 0}, false), makeLarge({0, 0, 0}), false, false},
      {makeLarge({0, 0}, false), makeLarge({1, 0}, false), true, false},
      {makeLarge({0, 0}), makeLarge({1, 0, 0}), false, true},
      {makeLarge({5, 0, 0, 0}), makeLarge({4, 0}), true, false},
      {makeLarge({0, 0, 1}), makeLarge({0xFFFF, 0xFFFF, 0, 0, 0}), true, false},
      {makeLarge({1, 2, 3}), makeLarge({2, 2, 3}), false, true},
      {makeLarge({1, 2, 3}, false), makeLarge({2, 2, 3}, false), true, false},
      {makeLarge({1, 2, 3}, false), makeLarge({2, 2, 3}), false, true},
      {INT_MIN, makeLarge({0, 0x8000}, false), false, false},
      {makeLarge({7}), makeLarge({7, 0}), false, false},
  };
  for (const auto& c : cases) {
    std::string before = describe(c.a) + " vs " + describe(c.b);
    EXPECT_EQ(c.a > c.b, c.aGreater) << before;
    EXPECT_EQ(c.b > c.a, c.bGreater) << before;
    EXPECT_EQ(describe(c.a) + " vs " + describe(c.b), before) << "a comparison changed an operand";
  }
}

}  // namespace
