// Tests of arbitrary's +=, -= and *=: guards and windows, operand exchange, carries, borrows and sign
// flips, limb and column products, and the form each leaves, the right operand's included.
#include <climits>
#include <variant>

#include "bigint_test_util.h"

namespace {

using namespace bigint_test;

struct Itself {};
// The right operand: another value, a machine integer, or the left operand itself.
using Right = std::variant<arbitrary, int32_t, Itself>;

arbitrary Value(int32_t v) { return v; }

template <class T>
void apply(arbitrary& a, char op, T& b) {
  op == '+' ? a += b : op == '-' ? a -= b : a *= b;
}

TEST(BigintArithmetic, AddSubtractMultiply) {
  struct Case {
    arbitrary a;
    char op;  // '+', '-' or '*'
    Right b;
    Rep want;
    std::optional<Rep> wantB = std::nullopt;  // another value's form afterwards, when its guard changes it
  };
  const Itself self;
  std::vector<Case> cases = {
      // with another value
      {0x3FFFFFFE, '+', Value(0x3FFFFFFF), Large({0xFFFD, 0x7FFF}), Large({0xFFFF, 0x3FFF})},
      {1, '+', Value(2000000000), Large({0x9401, 0x7735}), Large({0x9400, 0x7735})},
      {-1, '-', Value(INT_MIN), Large({0xFFFF, 0x7FFF}, true), Large({0x0000, 0x8000}, false)},
      {INT_MIN, '-', Value(INT_MIN), Small(0)},
      {3, '-', makeLarge({0, 1}), Small(-65533)},
      {makeLarge({0, 0, 1}), '-', makeLarge({1, 1}), Large({0xFFFF, 0xFFFE})},
      {makeLarge({5, 1}), '-', makeLarge({7, 1}), Small(-2, false)},
      {makeLarge({0xFFFF, 0xFFFF}), '+', Value(1), Large({0, 0, 1})},
      {makeLarge({5, 6}), '+', makeLarge({5, 6}, false), Small(0)},
      {70000, '+', Value(-70000), Small(0)},
      {makeLarge({0x8000, 0}), '+', Value(1), Large({0x8001, 0})},
      {makeLarge({1, 2, 3}, false), '+', makeLarge({1}), Large({0, 2, 3}, false)},
      {makeLarge({0, 0, 0, 1}), '+', makeLarge({0xFFFF}, false), Large({1, 0xFFFF, 0xFFFF})},
      {makeLarge({1, 2}, false), '+', makeLarge({3, 4, 5}, false), Large({4, 6, 5}, false)},
      {makeLarge({1, 2}, false), '-', makeLarge({3, 4, 5}), Large({4, 6, 5}, false)},
      {makeLarge({0, 0}, false), '+', Value(5), Small(5, true)},
      {32768, '*', Value(32768), Large({0x0000, 0x4000, 0x0000}), Large({0x8000, 0x0000})},
      {2, '*', Value(100000), Large({0x0D40, 0x0003}), Large({0x86A0, 0x0001})},
      {makeLarge({0xFFFF, 0xFFFF}), '*', makeLarge({0xFFFF, 0xFFFF}),
       Large({0x0001, 0x0000, 0xFFFE, 0xFFFF})},
      {makeLarge({1, 2}, false), '*', makeLarge({3, 4}, false), Large({3, 0xA, 8}, true)},
      {makeLarge({1, 2}, false), '*', makeLarge({3, 4}), Large({3, 0xA, 8}, false)},
      {makeLarge({1, 2}, false), '*', Value(0), Large({0, 0}, false)},
      {makeLarge({1, 2}, false), '*', makeLarge({0, 0}), Large({0, 0, 0}, false)},
      {3, '*', makeLarge({0, 0, 1}, false), Large({0, 0, 3}, false)},
      {makeLarge({1, 2, 3}), '*', makeLarge({2}), Large({2, 4, 6})},
      {makeLarge({5, 0, 0}), '*', makeLarge({7, 0}), Large({35, 0, 0, 0})},
      {makeLarge({0xFFFF}), '*', makeLarge({0xFFFF}), Large({0x0001, 0xFFFE})},
      // with itself
      {7, '+', self, Small(14)},
      {7, '-', self, Small(0)},
      {1073741822, '+', self, Small(2147483644)},
      {1073741823, '+', self, Large({0xFFFE, 0x7FFF})},
      {INT_MIN, '-', self, Small(0)},
      {makeLarge({0x8000, 0x8000}), '+', self, Large({0, 1, 1})},
      {makeLarge({1, 2, 3}, false), '+', self, Large({2, 4, 6}, false)},
      {makeLarge({1, 2, 3}, false), '-', self, Small(0, false)},
      {-5, '*', self, Small(25)},
      {32768, '*', self, Large({0x0000, 0x4000, 0x0000})},
      {makeLarge({0xFFFF, 0xFFFF}), '*', self, Large({0x0001, 0x0000, 0xFFFE, 0xFFFF})},
      {makeLarge({1, 2}, false), '*', self, Large({1, 4, 4}, true)},
      // with a machine integer
      {0x3FFFFFFE, '+', 0x3FFFFFFF, Small(0x7FFFFFFD)},  // both inside their ranges: one machine add
      {0x7FFFFFFD, '+', 1, Large({0xFFFE, 0x7FFF})},     // outside the guard: promoted first
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
      {0x7FFF, '*', 0x7FFF, Small(0x3FFF0001)},
      {-32768, '*', -32768, Small(0x40000000)},
      {0x40000000, '*', 1, Large({0x0000, 0x4000})},  // outside the window: promoted first
      {5, '*', 10, Small(50)},
      {-5, '*', -7, Small(35)},
      {40000, '*', 10, Large({0x1A80, 0x0006})},
      {3, '*', 100000, Large({0x93E0, 0x0004})},
      {30000, '*', -100000, Large({0x5E00, 0xB2D0}, false)},
      {7, '*', -32769, Large({0x8007, 0x0003}, false)},
      {INT_MIN, '*', -1, Large({0x0000, 0x8000}, true)},
      {0, '*', INT_MIN, Large({0, 0}, false)},  // a zero product flagged negative, equal to 0
      {makeLarge({0x1234, 0x5678}), '*', 65536, Large({0x0000, 0x1234, 0x5678})},
      {makeLarge({0xFFFF, 0xFFFF}), '*', 65535, Large({0x0001, 0xFFFF, 0xFFFE})},
      {makeLarge({1, 2, 3}), '*', INT_MAX, Large({0xFFFF, 0x7FFD, 0xFFFD, 0x8000, 0x0001})},
      {makeLarge({1, 2}, false), '*', 0, Large({0, 0}, false)},
      {makeLarge({1, 2}), '*', -1, Large({1, 2}, false)},
      {makeLarge({0x8000, 0}), '*', 2, Large({0x0000, 0x0001})},
      // four limbs as one word: the products of its two halves carry into each other; then a word whose
      // product is all ones takes the carry from the word below
      {makeLarge({0xFFFF, 0xFFFF, 0x5555, 0x5555}), '*', 3, Large({0xFFFD, 0xFFFF, 0x0001, 0x0000, 0x0001})},
      {makeLarge({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x5555, 0x5555, 0x5555, 0x5555}), '*', 3,
       Large({0xFFFD, 0xFFFF, 0xFFFF, 0xFFFF, 1, 0, 0, 0, 1})},
  };
  for (auto& c : cases) {
    std::string before = describe(c.a) + " " + c.op + "= ";
    if (auto* w = std::get_if<int32_t>(&c.b)) {
      before += std::to_string(*w);
      apply(c.a, c.op, *w);
    } else if (auto* b = std::get_if<arbitrary>(&c.b)) {
      before += describe(*b);
      const mpz_class bValue = valueOf(*b);
      apply(c.a, c.op, *b);
      EXPECT_EQ(valueOf(*b), bValue) << before << ": the right operand changed value";
      if (c.wantB) {
        EXPECT_TRUE(hasRep(*b, *c.wantB)) << before << ": right operand";
      }
    } else {
      before += "itself";
      apply(c.a, c.op, c.a);
    }
    EXPECT_TRUE(hasRep(c.a, c.want)) << before;
  }
}

}  // namespace
