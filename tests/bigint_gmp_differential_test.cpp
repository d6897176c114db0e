// Differential test of arbitrary against GMP: seeded random operations on boundary-heavy operands in both
// forms, each result checked by value, by printed text and by the form its operation must leave.
#include <algorithm>
#include <climits>
#include <random>
#include <string>

#include "bigint_test_util.h"

namespace {

using namespace bigint_test;

constexpr int kRounds = 20000;
constexpr int kMaxFailures = 10;

bool inAddRange(int32_t v) { return v >= -0x3FFFFFFF && v <= 0x3FFFFFFE; }
bool inAddWindow(int32_t a) { return a >= -0x40000000 && a <= 0x3FFFFFFF; }
bool inMulWindow(int32_t v) { return v >= -0x8000 && v <= 0x7FFF; }
// The sign that picks the magnitude routine: the value's in the small form, the flag's in the large form.
bool signOf(const arbitrary& x) { return x.isSmall() ? x.smallPart() >= 0 : x.nonNegativeFlag(); }
// Limbs a machine integer occupies as an operand of the magnitude routines.
size_t wordLimbs(int32_t v) { return arbitrary::absWord(v) > 0xFFFF ? 2 : 1; }
mpz_class big(int32_t v) { return mpz_class(static_cast<long>(v)); }
mpz_class apply(const mpz_class& a, const mpz_class& b, char op) {
  return op == '+' ? mpz_class(a + b) : op == '-' ? mpz_class(a - b) : mpz_class(a * b);
}

// Returns what is wrong with r, which must hold want; empty when nothing is.
std::string wrongValue(const arbitrary& r, const mpz_class& want) {
  if (!r.isSmall() && r.smallPart() != 0) return "large form with a non-zero small field";
  if (toMpz(r) != want) return "value should be " + want.get_str();
  std::string text = printed(r);
  if (text != want.get_str()) return "prints \"" + text + "\", should print " + want.get_str();
  return "";
}

// Returns what is wrong with r, the result of a magnitude addition or product that must stay large with
// the given flag and keep `limbs` limbs, one more only when the magnitude needs it.
std::string wrongGrowth(const arbitrary& r, size_t limbs, bool flag) {
  if (r.isSmall()) return "should stay in the large form";
  if (r.nonNegativeFlag() != flag) return "sign flag should be " + std::to_string(flag);
  mpz_class bound;
  mpz_ui_pow_ui(bound.get_mpz_t(), 65536, limbs);
  mpz_class mag = abs(toMpz(r));
  size_t want = mag >= bound ? limbs + 1 : limbs;
  if (r.limbCount() != want) return "should keep " + std::to_string(want) + " limbs";
  return "";
}

// Boundary-heavy operands and texts from a fixed seed.
class Operands {
 public:
  explicit Operands(uint64_t seed) : rng_(seed) {}

  uint32_t below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  uint32_t word() { return static_cast<uint32_t>(rng_()); }

  // Returns a machine integer next to a guard, window or word boundary, or of random bit width.
  int32_t integer() {
    static const int64_t kEdges[] = {0,          1,          9,          10,         0x7FFF,
                                     0x8000,     0xFFFF,     0x10000,    0x3FFFFFFE, 0x3FFFFFFF,
                                     0x40000000, 0x7FFFFFFF, 0x80000000, 327679,     46340};
    int64_t v = below(2) ? kEdges[below(std::size(kEdges))] + below(5) - 2 : word() >> below(32);
    if (below(2)) v = -v;
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
  }

  uint16_t limb() {
    static const uint16_t kLimbs[] = {0, 0, 1, 0xFFFF, 0xFFFF, 0x8000, 0x7FFF};
    return below(3) ? static_cast<uint16_t>(word()) : kLimbs[below(std::size(kLimbs))];
  }

  // Returns a value in a random form: small, promoted, random limbs up to 13 (some high ones zero),
  // or the product or sum of two such values.
  arbitrary value(bool derived = true) {
    uint32_t kind = below(derived ? 6 : 3);
    if (kind == 0) return integer();
    if (kind == 1) {
      int32_t v = integer();
      uint32_t m = arbitrary::absWord(v);
      return makeLarge({static_cast<uint16_t>(m), static_cast<uint16_t>(m >> 16)}, v >= 0);
    }
    if (kind == 2) {
      Limbs limbs(1 + below(below(4) ? 4 : 13));
      const bool allOnes = below(8) == 0;  // long runs of 0xFFFF carry and borrow furthest
      for (auto& l : limbs) l = allOnes ? 0xFFFF : limb();
      for (size_t zeros = below(4) ? 0 : below(static_cast<uint32_t>(limbs.size())); zeros > 0; --zeros) {
        limbs[limbs.size() - zeros] = 0;
      }
      return makeLarge(limbs, below(2));
    }
    // 32768 * 32768 and kin: products of promoted factors keep a zero top limb
    arbitrary x = kind == 3 ? arbitrary(32768 + static_cast<int32_t>(below(4))) : value(false);
    arbitrary y = kind == 3 ? arbitrary(below(2) ? 32768 : -32769) : value(false);
    return kind == 5 ? x += y : x *= y;
  }

  // Returns a value equal or next to x, often in another form, or any value.
  arbitrary near(const arbitrary& x) {
    if (below(4) == 0) return value();
    arbitrary y = x;
    if (below(2)) y += static_cast<int32_t>(below(3)) - 1;
    if (y.isSmall() && below(2)) {
      int32_t v = y.smallPart();
      y.setMagnitude32(arbitrary::absWord(v));
      if (v < 0) y.negate();
    } else if (below(2)) {
      y.normalize();
    }
    if (!y.isSmall()) y.resizeLimbs(y.limbCount() + below(3));
    return y;
  }

  // Returns a divisor: mostly 10, else any word with its edges.
  uint32_t divisor() {
    static const uint32_t kEdges[] = {1, 2, 10, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    uint32_t kind = below(4);
    if (kind < 2) return kind == 0 ? 10 : kEdges[below(std::size(kEdges))];
    return kind == 2 ? 1 + below(0xFFFF) : std::max<uint32_t>(1, word() >> below(32));
  }

  // Returns a text of up to 8 bytes: blanks, a sign, digits and trailing bytes of any kind.
  std::string shortText() {
    static const char kJunk[] = " \t-+,.x\xA4\xFF";
    std::string t(below(3), ' ');
    if (below(3) == 0) t += below(2) ? '-' : '+';
    for (uint32_t n = below(9); n > 0; --n) t += static_cast<char>('0' + below(10));
    for (uint32_t n = below(3); n > 0; --n) t += kJunk[below(sizeof kJunk - 1)];
    t.resize(std::min<size_t>(t.size(), 8));
    return t;
  }

  // Returns a text of 9 bytes or more: maybe a sign or blank first, digits with separators of any kind,
  // sometimes a number next to where the long path leaves the small form, padded with zeros.
  std::string longText() {
    static const char kSeparators[] = ",. -+a\xA4\xFF";
    std::string t;
    if (below(3) == 0) t += "-+ "[below(3)];
    if (below(3) == 0) {
      static const int kNear[] = {32767, 32768, 65535, 65536, 327679, 327680, 0};
      std::string digits = std::to_string(kNear[below(std::size(kNear))] + below(3));
      t += std::string(9, '0') + digits;
    } else {
      for (uint32_t n = 9 + below(below(4) ? 20 : 80); n > 0; --n) {
        t += below(10) ? static_cast<char>('0' + below(10)) : kSeparators[below(sizeof kSeparators - 1)];
      }
    }
    while (t.size() < 9) t += '7';
    return t;
  }

 private:
  std::mt19937_64 rng_;
};

// Runs a check kRounds times, reporting each mismatch it describes and stopping after a few.
template <class Check>
void run(Check check) {
  int failures = 0;
  for (int round = 0; round < kRounds && failures < kMaxFailures; ++round) {
    std::string problem = check();
    if (!problem.empty()) {
      ADD_FAILURE() << "round " << round << ": " << problem;
      ++failures;
    }
  }
}

// Returns what is wrong with a (op)= b, or a (op)= a when self; op is '+', '-' or '*'.
std::string checkWithValue(arbitrary a, arbitrary b, char op, bool self) {
  const arbitrary a0 = a;
  const arbitrary b0 = self ? a : b;
  const bool mul = op == '*';
  auto stays = [mul](const arbitrary& x) {  // passes its guard unchanged
    return x.isSmall() && (mul ? inMulWindow(x.smallPart()) : inAddRange(x.smallPart()));
  };
  auto limbs = [&](const arbitrary& x) -> size_t {  // limbs it brings to the magnitude routines
    if (!x.isSmall()) return x.limbCount();
    return !stays(x) ? 2 : mul ? 1 : wordLimbs(x.smallPart());
  };
  mpz_class want = apply(toMpz(a0), toMpz(b0), op);
  arbitrary& right = self ? a : b;
  op == '+' ? a += right : op == '-' ? a -= right : a *= right;
  std::string what =
      describe(a0) + " " + op + "= " + (self ? "itself" : describe(b0)) + " gave " + describe(a);
  std::string problem = wrongValue(a, want);
  if (problem.empty() && !self) {  // the right operand keeps its value; only its guard may promote it
    bool promoted = !b.isSmall() && b.limbCount() == 2 && b.nonNegativeFlag() == (b0.smallPart() >= 0);
    if (toMpz(b) != toMpz(b0) || (stays(b0) || !b0.isSmall() ? describe(b) != describe(b0) : !promoted)) {
      problem = "the right operand became " + describe(b);
    }
  }
  if (!problem.empty()) return what + ": " + problem;
  if (stays(a0) && stays(b0)) {
    if (!a.isSmall()) problem = "should stay in the small form";
  } else if (mul) {
    problem = wrongGrowth(a, limbs(a0) + limbs(b0) - 1, signOf(a0) == signOf(b0));
  } else if ((signOf(a0) == signOf(b0)) == (op == '+')) {
    problem = wrongGrowth(a, std::max(limbs(a0), limbs(b0)), signOf(a0));
  } else if (!isNormalized(a)) {
    problem = "a magnitude subtraction should normalize";
  }
  return problem.empty() ? "" : what + ": " + problem;
}

// Returns what is wrong with a (op)= w for a machine integer w.
std::string checkWithInteger(arbitrary a, int32_t w, char op) {
  const arbitrary a0 = a;
  mpz_class want = apply(toMpz(a0), big(w), op);
  op == '+' ? a += w : op == '-' ? a -= w : a *= w;
  std::string what = describe(a0) + " " + op + "= " + std::to_string(w) + " gave " + describe(a);
  std::string problem = wrongValue(a, want);
  if (!problem.empty()) return what + ": " + problem;
  if (op == '*') {
    bool stays = a0.isSmall() && inMulWindow(a0.smallPart());
    size_t limbs = !a0.isSmall() ? a0.limbCount() + wordLimbs(w) - 1 : stays ? 2 : 1 + wordLimbs(w);
    problem = stays && inMulWindow(w) ? (a.isSmall() ? "" : "should stay in the small form")
                                      : wrongGrowth(a, limbs, signOf(a0) == (w >= 0));
  } else if (a0.isSmall() && inAddRange(a0.smallPart()) && inAddWindow(w)) {
    problem = a.isSmall() ? "" : "should stay in the small form";
  } else if ((signOf(a0) == (w >= 0)) == (op == '+')) {
    problem = wrongGrowth(a, std::max<size_t>(a0.isSmall() ? 2 : a0.limbCount(), wordLimbs(w)), signOf(a0));
  } else if (!isNormalized(a)) {
    problem = "a magnitude subtraction should normalize";
  }
  return problem.empty() ? "" : what + ": " + problem;
}

TEST(BigintGmpDifferential, AddAndSubtractValues) {
  Operands gen(0x5EED0001);
  run([&] { return checkWithValue(gen.value(), gen.value(), gen.below(2) ? '+' : '-', gen.below(8) == 0); });
}

TEST(BigintGmpDifferential, MultiplyValues) {
  Operands gen(0x5EED0002);
  run([&] { return checkWithValue(gen.value(), gen.value(), '*', gen.below(8) == 0); });
}

TEST(BigintGmpDifferential, MachineIntegerOperands) {
  Operands gen(0x5EED0003);
  run([&] { return checkWithInteger(gen.value(), gen.integer(), "+-*"[gen.below(3)]); });
}

TEST(BigintGmpDifferential, Comparisons) {
  Operands gen(0x5EED0004);
  run([&]() -> std::string {
    arbitrary a = gen.value();
    arbitrary b = gen.near(a);
    mpz_class va = toMpz(a);
    int32_t w = gen.integer();
    if (va.fits_sint_p() && gen.below(2)) {  // the value itself or a neighbour
      w = static_cast<int32_t>(std::clamp<long>(va.get_si() + gen.below(3) - 1, INT_MIN, INT_MAX));
    }
    const std::string before = describe(a) + " vs " + describe(b) + " and " + std::to_string(w);
    int ab = cmp(va, toMpz(b)), aw = cmp(va, big(w));
    if ((a > b) != (ab > 0) || (b > a) != (ab < 0)) return before + ": a > b or b > a wrong";
    if ((a > w) != (aw > 0) || (a < w) != (aw < 0) || (a == w) != (aw == 0)) return before + ": vs w wrong";
    bool same = describe(a) + " vs " + describe(b) + " and " + std::to_string(w) == before;
    return same ? "" : before + ": an operand changed";
  });
}

TEST(BigintGmpDifferential, DivideByWord) {
  Operands gen(0x5EED0005);
  run([&]() -> std::string {
    arbitrary x = gen.value();
    const arbitrary x0 = x;
    uint32_t d = gen.divisor();
    mpz_class v = toMpz(x0), mag = abs(v), q = mag / d;
    uint32_t want = static_cast<uint32_t>(mpz_class(mag % d).get_ui());
    uint32_t r = x.divideByWord(d);
    std::string what =
        describe(x0) + " / " + std::to_string(d) + " gave " + describe(x) + " rem " + std::to_string(r);
    std::string problem =
        r != want ? "remainder should be " + std::to_string(want) : wrongValue(x, v < 0 ? mpz_class(-q) : q);
    if (problem.empty() && x.nonNegativeFlag() != x0.nonNegativeFlag()) problem = "the sign flag changed";
    if (problem.empty() && !isNormalized(x)) problem = "should be normalized";
    if (problem.empty() && x0.limbCount() <= 2 && q <= INT_MAX && !x.isSmall()) problem = "should be small";
    // The quotient times d plus the remainder, with the dividend's sign, rebuilds the dividend.
    if (problem.empty() && d <= INT_MAX) {
      arbitrary rebuilt = x;
      rebuilt *= static_cast<int32_t>(d);
      v < 0 ? rebuilt -= static_cast<int32_t>(r) : rebuilt += static_cast<int32_t>(r);
      if (toMpz(rebuilt) != v || rebuilt > x0 || x0 > rebuilt) problem = "rebuilds as " + describe(rebuilt);
    }
    return problem.empty() ? "" : what + ": " + problem;
  });
}

TEST(BigintGmpDifferential, PrintValues) {
  Operands gen(0x5EED0006);
  run([&]() -> std::string {
    const arbitrary x = gen.value();
    const std::string before = describe(x);
    std::string problem = wrongValue(x, toMpz(x));
    if (problem.empty() && describe(x) != before) problem = "printing changed the value";
    return problem.empty() ? "" : before + ": " + problem;
  });
}

TEST(BigintGmpDifferential, ConstructFromText) {
  Operands gen(0x5EED0007);
  run([&]() -> std::string {
    std::string text = gen.below(2) ? gen.shortText() : gen.longText();
    arbitrary x(text.c_str());
    mpz_class want = 0;
    bool large = false;
    if (text.size() <= 8) {  // the C library's reading: blanks, one sign, digits up to the first other byte
      size_t i = text.find_first_not_of(" \t\n\v\f\r");
      bool negative = i != std::string::npos && text[i] == '-';
      if (i != std::string::npos && (text[i] == '-' || text[i] == '+')) ++i;
      for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) want = want * 10 + (text[i] - '0');
      if (negative) want = -want;
    } else {  // every digit byte, negative only when the text starts with '-'
      for (char c : text) {
        if (c >= '0' && c <= '9') want = want * 10 + (c - '0');
      }
      large = abs(want) > 327679;
      if (text[0] == '-') want = -want;
    }
    std::string what = "text \"" + text + "\" gave " + describe(x);
    std::string problem = wrongValue(x, want);
    if (problem.empty() && large != !x.isSmall()) problem = large ? "should be large" : "should be small";
    if (problem.empty() && (!isNormalized(x) || (large && x.nonNegativeFlag() != (want >= 0)))) {
      problem = "should be normalized, flagged with its sign";
    }
    return problem.empty() ? "" : what + ": " + problem;
  });
}

}  // namespace
