// Tests of arbitrary's forms: the promotion guards, normalize, limb resizing, assignment, copies and negate.
#include <climits>
#include <utility>

#include "bigint_test_util.h"

namespace {

using namespace bigint_test;

TEST(BigintRepresentation, FormChanges) {
  enum Op { kAddGuard, kMulGuard, kNormalize, kNegate, kResize, kSetMagnitude };
  struct Case {
    arbitrary x;
    Op op;
    uint32_t arg;  // the new limb count, or the word to set
    Rep want;
  };
  std::vector<Case> cases = {
      {1073741822, kAddGuard, 0, Small(1073741822)},
      {-1073741823, kAddGuard, 0, Small(-1073741823)},
      {1073741823, kAddGuard, 0, Large({0xFFFF, 0x3FFF})},
      {-1073741824, kAddGuard, 0, Large({0x0000, 0x4000}, false)},
      {INT_MAX, kAddGuard, 0, Large({0xFFFF, 0x7FFF})},
      {INT_MIN, kAddGuard, 0, Large({0x0000, 0x8000}, false)},
      {makeLarge({5}, false), kAddGuard, 0, Large({5}, false)},  // a large value is left alone
      {32767, kMulGuard, 0, Small(32767)},
      {-32768, kMulGuard, 0, Small(-32768)},
      {32768, kMulGuard, 0, Large({0x8000, 0x0000})},
      {-32769, kMulGuard, 0, Large({0x8001, 0x0000}, false)},
      {INT_MIN, kMulGuard, 0, Large({0x0000, 0x8000}, false)},
      {makeLarge({5, 0, 0}), kMulGuard, 0, Large({5, 0, 0})},
      {makeLarge({5, 0, 0}, false), kNormalize, 0, Small(-5, false)},
      {makeLarge({0, 0}), kNormalize, 0, Small(0, true)},
      {makeLarge({0, 0, 0}, false), kNormalize, 0, Small(0, false)},
      {makeLarge({0, 1}), kNormalize, 0, Large({0, 1})},
      {makeLarge({7, 0, 3, 0}, false), kNormalize, 0, Large({7, 0, 3}, false)},
      {makeLarge({0xFFFF, 0}), kNormalize, 0, Small(65535, true)},
      {makeLarge({0xFFFF}, false), kNormalize, 0, Small(-65535, false)},
      {makeSmall(-9, true), kNormalize, 0, Small(-9, true)},  // a small value is left alone
      {5, kNegate, 0, Small(-5)},
      {0, kNegate, 0, Small(0)},
      {-INT_MAX, kNegate, 0, Small(INT_MAX)},
      {INT_MIN, kNegate, 0, Large({0x0000, 0x8000}, true)},  // no small result: the large 2147483648
      {makeLarge({1, 2}), kNegate, 0, Large({1, 2}, false)},
      {makeLarge({0, 0}, false), kNegate, 0, Large({0, 0}, true)},
      {7, kResize, 3, Large({0, 0, 0}, true)},  // a small value grown becomes a large zero
      {makeLarge({1, 2}, false), kResize, 4, Large({1, 2, 0, 0}, false)},
      {makeLarge({1, 2, 3}, false), kResize, 1, Large({1}, false)},
      {makeLarge({1, 2, 3}, false), kResize, 0, Small(0)},
      {-5, kSetMagnitude, 0x12345678, Large({0x5678, 0x1234}, true)},
      {makeLarge({1, 2, 3}, false), kSetMagnitude, 0xFFFFFFFF, Large({0xFFFF, 0xFFFF}, true)},
      {makeLarge({9, 9, 9}), kSetMagnitude, 0, Large({0, 0}, true)},
  };
  using Fn = void (*)(arbitrary&, uint32_t);
  const Fn kOps[] = {[](arbitrary& x, uint32_t) { arbitrary_internals::promoteForAdd(x); },
                     [](arbitrary& x, uint32_t) { arbitrary_internals::promoteForMul(x); },
                     [](arbitrary& x, uint32_t) { arbitrary_internals::normalize(x); },
                     [](arbitrary& x, uint32_t) { x.negate(); },
                     [](arbitrary& x, uint32_t n) { arbitrary_internals::resizeLimbs(x, n); },
                     [](arbitrary& x, uint32_t w) { arbitrary_internals::setMagnitude32(x, w); }};
  for (auto& c : cases) {
    std::string before = describe(c.x);
    kOps[c.op](c.x, c.arg);
    EXPECT_TRUE(hasRep(c.x, c.want)) << before << ", operation " << c.op << " with " << c.arg;
  }
}

TEST(BigintRepresentation, MagnitudeLow32) {
  struct Case {
    arbitrary x;
    uint32_t want;
  };
  arbitrary promotedMin(INT_MIN);
  arbitrary_internals::promoteForMul(promotedMin);
  std::vector<Case> cases = {
      {-1, 1u},
      {INT_MIN, 0x80000000u},
      {promotedMin, 0x80000000u},
      {makeLarge({0x1234, 0x5678, 0x0009}, false), 0x56781234u},  // limbs above the second ignored
      {makeLarge({7}), 7u},
  };
  for (const auto& c : cases) EXPECT_EQ(c.x.magnitudeLow32(), c.want) << describe(c.x);
}

TEST(BigintRepresentation, AssignmentKeepsTheTargetFlagForSmallSources) {
  struct Case {
    arbitrary target;
    arbitrary source;
    Rep want;
  };
  std::vector<Case> cases = {
      {makeLarge({1, 2}, false), 9, Small(9, false)},
      {makeLarge({1, 2}, true), makeSmall(-9, false), Small(-9, true)},
      {makeSmall(4, false), makeLarge({3, 4}), Large({3, 4}, true)},
      {makeLarge({1, 2, 3}), makeLarge({0, 0x8000}, false), Large({0, 0x8000}, false)},
  };
  for (auto& c : cases) {
    std::string before = describe(c.target) + " = " + describe(c.source);
    arbitrary moveTarget = c.target;
    c.target = c.source;
    EXPECT_TRUE(hasRep(c.target, c.want)) << before;
    moveTarget = std::move(c.source);  // the same form rules; the source is left small 0
    EXPECT_TRUE(hasRep(moveTarget, c.want)) << before << " by move";
    EXPECT_TRUE(hasRep(c.source, Small(0))) << before << " by move";  // NOLINT(bugprone-use-after-move)
  }
  arbitrary x = makeLarge({1, 2}, false);
  x = 77;
  EXPECT_TRUE(hasRep(x, Small(77, false))) << "machine-integer assignment keeps the flag";
  for (arbitrary y : {makeLarge({1, 2, 0}, false), makeSmall(5, false)}) {
    std::string before = describe(y);
    arbitrary& self = y;
    y = self;
    EXPECT_EQ(describe(y), before) << "self-assignment";
    y = std::move(self);
    EXPECT_EQ(describe(y), before) << "self-move";
  }
}

TEST(BigintRepresentation, CopiesOwnTheirLimbsAndMovesLeaveSmallZero) {
  arbitrary original = makeLarge({1, 2, 3}, false);
  arbitrary copy(original);
  arbitrary_internals::limb(copy, 0) = 9;
  EXPECT_TRUE(hasRep(original, Large({1, 2, 3}, false)));
  EXPECT_TRUE(hasRep(copy, Large({9, 2, 3}, false)));
  arbitrary moved(std::move(copy));
  EXPECT_TRUE(hasRep(moved, Large({9, 2, 3}, false)));
  EXPECT_TRUE(hasRep(copy, Small(0)));  // NOLINT(bugprone-use-after-move): the moved-from state is specified
  copy += 5;
  EXPECT_TRUE(hasRep(copy, Small(5)));
}

}  // namespace
