// Tests of arbitrary's division by a machine word and its decimal output.
#include <climits>
#include <iomanip>
#include <sstream>

#include "bigint_test_util.h"

namespace {

using namespace bigint_test;

TEST(BigintDivide, QuotientRemainderAndForm) {
  struct Case {
    arbitrary x;
    uint32_t d;
    Rep want;
    uint32_t remainder;
  };
  std::vector<Case> cases = {
      {123, 10, Small(12), 3},
      {-25, 10, Small(-2), 5},
      {-5, 10, Small(0), 5},
      {INT_MIN, 10, Small(-214748364), 8},
      {INT_MAX, 0xFFFFFFFFu, Small(0), 0x7FFFFFFF},
      {makeLarge({0xFFFF, 0xFFFF}), 10, Small(429496729), 5},
      {makeLarge({0xFFFF, 0xFFFF}, false), 0x10000, Small(-65535, false), 0xFFFF},
      {makeLarge({0, 0, 1}), 10, Large({39321, 6553}), 6},
      {makeLarge({0, 0, 1}, false), 10, Large({39321, 6553}, false), 6},
      {makeLarge({4096, 24414, 0}), 10, Large({26624, 2441}), 0},
      {makeLarge({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 9}), 10, Large({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}), 9},
      {makeLarge({0, 0}), 10, Small(0, true), 0},
      {makeLarge({0, 0, 0}, false), 10, Small(0, false), 0},
      {makeLarge({100}, false), 7, Small(-14, false), 2},
      // divisors the calculator never uses
      {makeLarge({0xFFFF, 0xFFFF}), 1, Large({0xFFFF, 0xFFFF}),
       0},  // the quotient does not fit the small form
      {makeLarge({0x0000, 0x8000}, false), 1, Small(INT_MIN, false), 0},
      {makeLarge({0xFFFF, 0x7FFF}), 1, Small(INT_MAX), 0},
      {makeLarge({1, 2, 3, 0}, false), 1, Large({1, 2, 3}, false), 0},
      {makeLarge({0, 0, 1}), 65536, Large({0, 1}), 0},
      {makeLarge({0, 0, 1}), 0xFFFFFFFFu, Small(1), 1},
      {makeLarge({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}), 0xFFFFFFFFu, Large({1, 0, 1}), 0},
      {makeLarge({0x1234, 0x5678, 0x9ABC, 0xDEF0}, false), 0x80000000u,
       Large({0x3578, 0xBDE1, 0x0001}, false), 0x56781234},
  };
  for (auto& c : cases) {
    std::string before = describe(c.x) + " / " + std::to_string(c.d);
    EXPECT_EQ(c.x.divideByWord(c.d), c.remainder) << before;
    EXPECT_TRUE(hasRep(c.x, c.want)) << before;
  }
}

TEST(BigintOutput, PrintsSignedDecimalInEitherForm) {
  struct Case {
    arbitrary x;
    const char* text;
    int width = 0;                              // the stream's field width, padded with '*'
    std::ios::fmtflags format = std::ios::dec;  // the stream's base and adjustment
  };
  std::vector<Case> cases = {
      {0, "0"},
      {-7, "-7"},
      {INT_MIN, "-2147483648"},
      {INT_MAX, "2147483647"},
      {makeSmall(5, false), "5"},  // the small form's sign is its value's alone
      {65536, "65536"},
      {makeLarge({0, 1}), "65536"},
      {makeLarge({7}, false), "-7"},
      {makeLarge({0, 0, 1}), "4294967296"},
      {makeLarge({0, 0, 1}, false), "-4294967296"},
      {makeLarge({4096, 24414, 0}), "1600000000"},
      {makeLarge({0, 0}), "0"},
      {makeLarge({0, 0, 0}, false), "0"},  // a zero flagged negative has no sign
      {makeLarge({0x0001, 0x0000, 0xFFFE, 0xFFFF}), "18446744065119617025"},
      {makeLarge({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 9}), "184467440737095516159"},
      {makeLarge({0x0000, 0x4000, 0xEDEA, 0x4674, 0x9CD0, 0x9F2C, 0x000C, 0, 0}, false),
       "-1000000000000000000000000000000"},
      // width, fill and adjustment apply to the whole value; the base never does
      {makeLarge({0, 0, 1}, false), "****-4294967296", 15},
      {makeLarge({0, 0, 1}), "4294967296*****", 15, std::ios::left},
      {-7, "-7**", 4, std::ios::left},
      {makeLarge({0xFFFF, 0xFFFF}), "4294967295", 0, std::ios::hex},
      {255, "255", 0, std::ios::hex},
      {-8, "-8", 0, std::ios::oct},
  };
  for (const auto& c : cases) {
    std::string before = describe(c.x);
    std::ostringstream os;
    os.fill('*');
    os.setf(c.format, std::ios::basefield | std::ios::adjustfield);
    os << std::setw(c.width) << c.x << '|';
    EXPECT_EQ(os.str(), std::string(c.text) + "|") << before;
    EXPECT_EQ(describe(c.x), before) << "printing changed the value";
  }
}

}  // namespace
