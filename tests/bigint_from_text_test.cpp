// Tests of arbitrary's construction from decimal text: the short C-library path and the long digit path.
#include "bigint_test_util.h"

namespace {

using namespace bigint_test;

TEST(BigintFromText, ShortAndLongTexts) {
  struct Case {
    const char* text;
    Rep want;
  };
  const Case cases[] = {
      // up to 8 bytes: read as the C library reads an integer
      {"12345678", Small(12345678, true)},
      {"99999999", Small(99999999, true)},
      {"-1234567", Small(-1234567, true)},
      {"-9999999", Small(-9999999, true)},
      {" -123456", Small(-123456, true)},
      {"\t\n +42", Small(42, true)},
      {"12 34", Small(12, true)},
      {"12a45", Small(12, true)},
      {"--5", Small(0, true)},
      {"-", Small(0, true)},
      {"", Small(0, true)},
      {"\xA4\xA4"
       "12",
       Small(0, true)},
      // 9 bytes and more: every digit counts, a sign only from the first byte
      {"123456789", Large({0xCD15, 0x075B}, true)},
      {"-123456789", Large({0xCD15, 0x075B}, false)},
      {"-000000001", Small(-1)},
      {"-000000000", Small(0)},
      {"000000000327679", Small(327679)},
      {"-00000000327679", Small(-327679)},
      {"000000000327680", Large({0x0000, 0x0005}, true)},
      {" -1234567", Large({0xD687, 0x0012}, true)},
      {"+123456789", Large({0xCD15, 0x075B}, true)},
      {"1-23456789", Large({0xCD15, 0x075B}, true)},
      {"12,345,678,901", Large({0x1C35, 0xDFDC, 0x0002}, true)},
      {"1\xA4\xA4"
       "2345678",
       Large({0x614E, 0x00BC}, true)},
      {"abcdefghij", Small(0)},
      {"-1000000000000000000000000000000",
       Large({0x0000, 0x4000, 0xEDEA, 0x4674, 0x9CD0, 0x9F2C, 0x000C}, false)},
  };
  for (const auto& c : cases) {
    arbitrary x(c.text);
    EXPECT_TRUE(hasRep(x, c.want)) << "text \"" << c.text << "\"";
  }
}

}  // namespace
