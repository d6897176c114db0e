// Tests of arbitrary's addition and subtraction: guards, argument window, carries, borrows and sign flips.
#include <climits>

#include "bigint_test_util.h"

namespace {

using namespace bigint_test;

TEST(BigintAddSub, WithAnotherValue) {
  struct Case {
    arbitrary a;
    char op;
    arbitrary b;
    Rep want;
    std::optional<Rep> wantB =
        std::nullopt;  // the right operand's form afterwards, when the guard changes it
  };
  std::vector<Case> cases = {
      {0x3FFFFFFE, '+', 0x3FFFFFFF, Large({0xFFFD, 0x7FFF}), Large({0xFFFF, 0x3FFF})},
      {1, '+', 2000000000, Large({0x9401, 0x7735}), Large({0x9400, 0x7735})},
      {-1, '-', INT_MIN, Large({0xFFFF, 0x7FFF}, true), Large({0x0000, 0x8000}, false)},
      {INT_MIN, '-', INT_MIN, Small(0)},
      {3, '-', makeLarge({0, 1}), Small(-65533)},
      {makeLarge({0, 0, 1}), '-', makeLarge({1, 1}), Large({0xFFFF, 0xFFFE})},
      {makeLarge({5, 1}), '-', makeLarge({7, 1}), Small(-2, false)},
      {makeLarge({0xFFFF, 0xFFFF}), '+', 1, Large({0, 0, 1})},
      {makeLarge({5, 6}), '+', makeLarge({5, 6}, false), Small(0)},
      {70000, '+', -70000, Small(0)},
      {makeLarge({0x8000, 0}), '+', 1, Large({0x8001, 0})},
      {makeLarge({1, 2, 3}, false), '+', makeLarge({1}), Large({0, 2, 3}, false)},
      {makeLarge({0, 0, 0, 1}), '+', makeLarge({0xFFFF}, false), Large({1, 0xFFFF, 0xFFFF})},
      {makeLarge({1, 2}, false), '+', makeLarge({3, 4, 5}, false), Large({4, 6, 5}, false)},
      {makeLarge({1, 2}, false), '-', makeLarge({3, 4, 5}), Large({4, 6, 5}, false)},
      {makeLarge({0, 0}, false), '+', 5, Small(5, true)},
  };
  for (auto& c : cases) {
    std::string before = describe(c.a) + " " + c.op + "= " + describe(c.b);
    mpz_class bValue = toMpz(c.b);
    c.op == '+' ? c.a += c.b : c.a -= c.b;
    EXPECT_TRUE(hasRep(c.a, c.want)) << before;
    EXPECT_EQ(toMpz(c.b), bValue) << before << ": the right operand changed value";
    if (c.wantB) {
      EXPECT_TRUE(hasRep(c.b, *c.wantB)) << before << ": right operand";
    }
  }
}

TEST(BigintAddSub, WithItself) {
  struct Case {
    arbitrary x;
    char op;
    Rep want;
  };
  std::vector<Case> cases = {
      {7, '+', Small(14)},
      {7, '-', Small(0)},
      {1073741822, '+', Small(2147483644)},
      {1073741823, '+', Large({0xFFFE, 0x7FFF})},
      {INT_MIN, '-', Small(0)},
      {makeLarge({0x8000, 0x8000}), '+', Large({0, 1, 1})},
      {makeLarge({1, 2, 3}, false), '+', Large({2, 4, 6}, false)},
      {makeLarge({1, 2, 3}, false), '-', Small(0, false)},
  };
  for (auto& c : cases) {
    std::string before = describe(c.x);
    c.op == '+' ? c.x += c.x : c.x -= c.x;
    EXPECT_TRUE(hasRep(c.x, c.want)) << before << " " << c.op << "= itself";
  }
}

TEST(BigintAddSub, WithAMachineInteger) {
  struct Case {
    arbitrary a;
    char op;
    int32_t w;
    Rep want;
  };
  std::vector<Case> cases = {
      {0x3FFFFFFE, '+', 0x3FFFFFFF, Small(0x7FFFFFFD)},  // both inside their ranges: one machine add
      {0x7FFFFFFD, '+', 1, Large({0xFFFE, 0x7FFF})},     // outside the guard range: promoted first
      {1, '+', -0x40000000, Small(-0x3FFFFFFF)},
      {1, '+', 0x40000000, Large({0x0001, 0x4000})},
      {5, '+', 0x50000000, Large({0x0005, 0x5000})},
      {5, '+', INT_MIN, Large({0xFFFB, 0x7FFF}, false)},
      {0x3FFFFFFE, '-', 0x40000000, Small(-2)},
      {10, '-', INT_MIN, Large({0x000A, 0x8000}, true)},
      {10, '-', INT_MAX, Large({0xFFF5, 0x7FFF}, false)},
      {INT_MIN, '-', 1, Large({0x0001, 0x8000}, false)},
      {INT_MIN, '-', INT_MIN, Small(0)},
      {makeLarge({1, 2, 3}), '+', INT_MIN, Large({0x0001, 0x8002, 0x0002})},
      {makeLarge({0xFFFF, 0xFFFF}), '+', 1, Large({0, 0, 1})},
      {makeLarge({0xFFFF, 0xFFFF, 0}), '+', 1, Large({0, 0, 1})},
      {makeLarge({0, 0, 1}), '-', 1, Large({0xFFFF, 0xFFFF})},
      {makeLarge({0, 0, 1}), '-', 65537, Large({0xFFFF, 0xFFFE})},
      {makeLarge({0, 0, 1}, false), '+', 1, Large({0xFFFF, 0xFFFF}, false)},
      {makeLarge({0, 1}), '+', -1, Small(65535)},
      {makeLarge({5, 0}), '-', 7, Small(-2)},
      {makeLarge({0x8000, 0}), '-', 40000, Small(-7232)},
      {makeLarge({0x8000, 0}), '+', 1, Large({0x8001, 0})},
      {makeLarge({0}), '+', 0xFFFF, Large({0xFFFF})},  // a word up to 0xFFFF adds as one limb
      {makeLarge({0x1170, 0x0001}, false), '+', 70000, Small(0)},
      {makeLarge({0, 0, 0}, false), '-', 0, Large({0, 0, 0}, false)},
  };
  for (auto& c : cases) {
    std::string before = describe(c.a) + " " + c.op + "= " + std::to_string(c.w);
    c.op == '+' ? c.a += c.w : c.a -= c.w;
    EXPECT_TRUE(hasRep(c.a, c.want)) << before;
  }
}

}  // namespace
