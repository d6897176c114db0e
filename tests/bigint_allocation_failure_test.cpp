// Tests that an arbitrary operation whose limbs cannot grow leaves its operands
// as they were: each operation is run with its k-th allocation failing, for
// k = 1, 2, ... until it succeeds, and after every failure the target must
// hold its exact former representation and the right operand its value.
#include <cstdlib>
#include <functional>
#include <new>
#include <ostream>

#include "bigint_test_util.h"
#include "failing_allocator.h"

thread_local long failing_allocator::allocationsUntilFailure = 0;
using failing_allocator::allocationsUntilFailure;
using failing_allocator::FixedSink;

// Each out of line, so that no call site sees malloc() and free() paired
// with new and delete.
__attribute__((noinline)) void* operator new(std::size_t size) {
  if (allocationsUntilFailure > 0 && --allocationsUntilFailure == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace bigint_test;

TEST(BigintAllocationFailure, EveryOperationLeavesItsOperandsAsTheyWere) {
  using Op = std::function<void(arbitrary&, arbitrary&)>;
  struct Case {
    const char* name;
    arbitrary x;  // the target
    arbitrary y;  // the right operand
    Op op;
  };
  const arbitrary allOnes = makeLarge({0xFFFF, 0xFFFF});
  // long1 squared needs more scratch than any other test's product.
  const arbitrary long1 = makeLarge(Limbs(1500, 0xFFFF)), long2 = makeLarge(Limbs(45, 0x1234), false);
  FixedSink sink;
  std::ostream os(&sink);
  const std::vector<Case> cases = {
      {"+= 1 carrying out", allOnes, 0, [](arbitrary& x, arbitrary&) { x += 1; }},
      {"*= 10 carrying out", allOnes, 0, [](arbitrary& x, arbitrary&) { x *= 10; }},
      {"+= a word", allOnes, 0, [](arbitrary& x, arbitrary&) { x += 0x7FFFFFFF; }},
      {"-= a word", makeLarge({5}), 0, [](arbitrary& x, arbitrary&) { x -= 0x7FFFFFFF; }},
      {"*= a word", allOnes, 0, [](arbitrary& x, arbitrary&) { x *= -0x7FFFFFFF; }},
      {"small += int, promoted", 0x3FFFFFFE, 0, [](arbitrary& x, arbitrary&) { x += 0x40000000; }},
      {"small -= int, exchanged", 5, 0, [](arbitrary& x, arbitrary&) { x -= INT32_MIN; }},
      {"small *= int, exchanged", 30000, 0, [](arbitrary& x, arbitrary&) { x *= -100000; }},
      {"small *= int, promoted", 40000, 0, [](arbitrary& x, arbitrary&) { x *= 100000; }},
      {"large += large", allOnes, makeLarge({1}), [](arbitrary& x, arbitrary& y) { x += y; }},
      {"large += itself", allOnes, 0, [](arbitrary& x, arbitrary&) { x += x; }},
      {"large -= longer", allOnes, long2, [](arbitrary& x, arbitrary& y) { x -= y; }},
      {"small += large", 7, allOnes, [](arbitrary& x, arbitrary& y) { x += y; }},
      {"small -= large", 7, allOnes, [](arbitrary& x, arbitrary& y) { x -= y; }},
      {"small *= large", 7, allOnes, [](arbitrary& x, arbitrary& y) { x *= y; }},
      {"small += small, both promoted", INT32_MAX, INT32_MIN, [](arbitrary& x, arbitrary& y) { x += y; }},
      {"small *= small, both promoted", 40000, -40000, [](arbitrary& x, arbitrary& y) { x *= y; }},
      {"large *= large", long1, long2, [](arbitrary& x, arbitrary& y) { x *= y; }},
      {"large *= itself", long2, 0, [](arbitrary& x, arbitrary&) { x *= x; }},
      {"assignment of a large value", 7, long1, [](arbitrary& x, arbitrary& y) { x = y; }},
      {"copy construction", 7, long1, [](arbitrary& x, arbitrary& y) { x = arbitrary(y); }},
      {"construction from text", 7, 0,
       [](arbitrary& x, arbitrary&) { x = arbitrary("-123456789012345678901234567890"); }},
      {"negate", INT32_MIN, 0, [](arbitrary& x, arbitrary&) { x.negate(); }},
      {"promoteForAdd", INT32_MIN, 0,
       [](arbitrary& x, arbitrary&) { arbitrary_internals::promoteForAdd(x); }},
      {"promoteForMul", -40000, 0, [](arbitrary& x, arbitrary&) { arbitrary_internals::promoteForMul(x); }},
      {"setMagnitude32", 7, 0,
       [](arbitrary& x, arbitrary&) { arbitrary_internals::setMagnitude32(x, 0x12345678); }},
      {"resizeLimbs", allOnes, 0, [](arbitrary& x, arbitrary&) { arbitrary_internals::resizeLimbs(x, 9); }},
      {"divideByWord", long2, 0, [](arbitrary& x, arbitrary&) { x.divideByWord(10); }},
      {"insertion", 7, long2, [&os](arbitrary&, arbitrary& y) { os << y; }},
  };
  for (const auto& c : cases) {
    std::string got;
    for (long k = 1; got.empty(); ++k) {
      ASSERT_LT(k, 100) << c.name << ": still failing";
      arbitrary x = c.x, y = c.y;
      sink.clear();
      os.clear();
      allocationsUntilFailure = k;
      bool failed = false;
      try {
        c.op(x, y);
      } catch (const std::bad_alloc&) {
        failed = true;
      }
      allocationsUntilFailure = 0;
      if (!failed) {
        got = describe(x) + " printing \"" + sink.str() + "\"";
        break;
      }
      EXPECT_EQ(describe(x), describe(c.x)) << c.name << " with allocation " << k << " failing";
      EXPECT_EQ(valueOf(y), valueOf(c.y)) << c.name << " with allocation " << k << " failing";
    }
    // Run last, so that the failing runs meet scratch storage that has to grow.
    arbitrary wantX = c.x, wantY = c.y;
    sink.clear();
    c.op(wantX, wantY);
    EXPECT_EQ(got, describe(wantX) + " printing \"" + sink.str() + "\"") << c.name << ": the result";
  }
}

}  // namespace
