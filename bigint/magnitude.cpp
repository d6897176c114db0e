// The limb loops beneath arbitrary: comparison, addition and subtraction,
// multiplication and short division of magnitudes given as (pointer, count),
// in their scalar forms, and the path that sends long magnitudes to the AVX2
// forms of magnitude_avx2.cpp instead.
#include "bigint/magnitude.h"

#include <algorithm>
#include <vector>

#include "bigint/digit_steps.h"
#include "bigint/magnitude_avx2.h"

namespace magnitude {

// --- Paths ------------------------------------------------------------------------

namespace {

Path fastestPath() {
#ifdef LONGSQRT_AVX2_FORMS
  if (machine::runsAvx2()) return Path::avx2;
#endif
  return Path::scalar;
}

// Chosen before main runs. A loop called by another file's initializer before
// this one takes the scalar path, which gives the same results.
Path active = fastestPath();

}  // namespace

std::vector<Path> supportedPaths() {
  std::vector<Path> paths{Path::scalar};
  if (fastestPath() == Path::avx2) paths.push_back(Path::avx2);
  return paths;
}

void usePath(Path p) {
  assert((p == Path::scalar || p == fastestPath()) && "the processor runs that path");
  active = p;
}

Path activePath() { return active; }

const char* pathName(Path p) { return p == Path::avx2 ? "avx2" : "scalar"; }

// --- Comparison -----------------------------------------------------------------

size_t significantLength(const uint16_t* x, size_t n) {
  while (n > 0 && x[n - 1] == 0) --n;
  return n;
}

int compare(const uint16_t* x, size_t n, const uint16_t* y, size_t m) {
  n = significantLength(x, n);
  m = significantLength(y, m);
  if (n != m) return n > m ? 1 : -1;
  for (size_t i = n; i-- > 0;) {
    if (x[i] != y[i]) return x[i] > y[i] ? 1 : -1;
  }
  return 0;
}

// --- Addition and subtraction -----------------------------------------------------

uint32_t add(uint16_t* x, size_t n, const uint16_t* y, size_t m) {
  assert(m <= n && "the caller grows x to y's length first");
  uint32_t carry = 0;
  size_t i = 0;
  for (; i < m; ++i) {
    carry += static_cast<uint32_t>(x[i]) + y[i];
    x[i] = static_cast<uint16_t>(carry);
    carry >>= 16;
  }
  for (; i < n; ++i) {
    carry += x[i];
    x[i] = static_cast<uint16_t>(carry);
    carry >>= 16;
  }
  return carry;
}

// Each limb difference is formed with a bias of 65536 (0xFFFF plus the 1 that
// stands for "no borrow"), so the running word w stays within 0 .. 0x1FFFF and
// the bit shifted out of it is 1 exactly when the limb did not borrow.
uint32_t subtract(uint16_t* x, size_t n, const uint16_t* y, size_t m) {
  assert(m <= n && "the caller grows x to y's length first");
  uint32_t w = 1;
  size_t i = 0;
  for (; i < m; ++i) {
    w += 0xFFFFu + x[i] - y[i];
    x[i] = static_cast<uint16_t>(w);
    w >>= 16;
  }
  for (; i < n; ++i) {
    w += 0xFFFFu + x[i];
    x[i] = static_cast<uint16_t>(w);
    w >>= 16;
  }
  return 1 - w;
}

uint32_t increment(uint16_t* x, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (++x[i] != 0) return 0;  // this limb took the carry without overflowing
  }
  return 1;
}

// The running word of subtract with a subtrahend of 0 above the first limb.
uint32_t subtractLimb(uint16_t* x, size_t n, uint16_t d) {
  assert(n >= 1 && "a magnitude has at least one limb");
  uint32_t w = 0x10000u - d + x[0];
  x[0] = static_cast<uint16_t>(w);
  w >>= 16;
  for (size_t i = 1; i < n && w != 1; ++i) {
    w += 0xFFFFu + x[i];
    x[i] = static_cast<uint16_t>(w);
    w >>= 16;
  }
  return 1 - w;
}

void complement(uint16_t* x, size_t n) {
  for (size_t i = 0; i < n; ++i) x[i] = static_cast<uint16_t>(x[i] ^ 0xFFFFu);
}

// --- Multiplication ---------------------------------------------------------------

namespace {

LONGSQRT_SCALAR_LOOP uint32_t multiplyByLimbScalar(uint16_t* x, size_t n, uint16_t m) {
  return wide::multiplyByLimb(x, n, m, 0);
}

}  // namespace

uint32_t multiplyByLimb(uint16_t* x, size_t n, uint16_t m) {
#ifdef LONGSQRT_AVX2_FORMS
  if (active == Path::avx2 && n >= kMultiplyByLimbVectorMinLimbs) return multiplyByLimbAvx2(x, n, m);
#endif
  return multiplyByLimbScalar(x, n, m);
}

// The path is chosen once for the whole text.
size_t multiplyByTenAddingDigits(uint16_t* x, size_t n, const char* first, const char* last) {
  assert(n >= 1 && "a magnitude has at least one limb");
#ifdef LONGSQRT_AVX2_FORMS
  // The vector pass stays a call: inlined into this loop it measured slower,
  // and its setup is small beside a pass of 48 limbs or more.
  if (active == Path::avx2) {
    return digitsteps::addDigits(x, n, first, last, [](uint16_t* x, size_t n) {
      return n >= kMultiplyByLimbVectorMinLimbs ? multiplyByLimbAvx2(x, n, 10)
                                                : wide::multiplyByLimb(x, n, 10, 0);
    });
  }
#endif
  return digitsteps::addDigits(x, n, first, last,
                               [](uint16_t* x, size_t n) { return wide::multiplyByLimb(x, n, 10, 0); });
}

namespace {

// Packs limbs pairwise into 32-bit words, lowest first (an odd top limb pairs
// with zero).
void packPairs(const uint16_t* limbs, size_t n, uint32_t* words) {
  for (size_t i = 0; i + 1 < n; i += 2) words[i / 2] = limbs[i] | static_cast<uint32_t>(limbs[i + 1]) << 16;
  if (n % 2 != 0) words[n / 2] = limbs[n - 1];
}

}  // namespace

// The columns run over pairs of limbs (32-bit words): the same product, so the
// same limbs as column sums over single limbs, with one sum carried from each
// column into the next and no separate carry pass.
uint16_t multiply(uint16_t* r, const uint16_t* a, size_t na, const uint16_t* b, size_t nb) {
  assert(na >= 1 && nb >= 1 && "a magnitude has at least one limb");
#ifdef LONGSQRT_AVX2_FORMS
  if (active == Path::avx2 && na >= kVectorMinLimbs && nb >= kVectorMinLimbs)
    return multiplyAvx2(r, a, na, b, nb);
#endif
  const size_t wa = (na + 1) / 2;
  const size_t wb = (nb + 1) / 2;
  const size_t wr = wa + wb;
  thread_local std::vector<uint32_t> scratch;
  if (scratch.size() < wa + wb + wr) scratch.resize(wa + wb + wr);
  uint32_t* aw = scratch.data();
  uint32_t* bw = aw + wa;
  uint32_t* rw = bw + wb;
  packPairs(a, na, aw);
  packPairs(b, nb, bw);
  wide::ColumnSum sum;
  for (size_t i = 0; i + 1 < wr; ++i) {
    const size_t jFirst = i >= wb ? i - wb + 1 : 0;
    const size_t jLast = std::min(i, wa - 1);
    for (size_t j = jFirst; j <= jLast; ++j) sum.add(static_cast<uint64_t>(aw[j]) * bw[i - j]);
    rw[i] = sum.low32();
    sum.shift32();
  }
  rw[wr - 1] = sum.low32();
  return wide::unpackPairs(rw, na + nb - 1, r);
}

// --- Division ---------------------------------------------------------------------

uint32_t divideBy10(uint16_t* x, size_t n) {
#ifdef LONGSQRT_AVX2_FORMS
  if (active == Path::avx2 && n >= kVectorMinLimbs) return divideBy10Avx2(x, n);
#endif
  return wide::divideBy10(x, n);
}

// The path is chosen once for the whole value.
size_t decimalDigits(uint16_t* x, size_t n, char* digits) {
#ifdef LONGSQRT_AVX2_FORMS
  if (active == Path::avx2) return decimalDigitsAvx2(x, n, digits);
#endif
  return digitsteps::decimalDigits(x, n, digits, wide::divideBy10);
}

// Two limbs per step; the quotient limbs are those of a one-limb loop.
uint32_t divideByLimb(uint16_t* x, size_t n, uint16_t d) {
  assert(d != 0 && "division by zero");
  uint64_t r = 0;
  size_t i = n;
  if (i % 2 != 0) {
    --i;
    r = x[i];
    x[i] = static_cast<uint16_t>(r / d);
    r %= d;
  }
  while (i > 0) {
    i -= 2;
    const uint64_t v = r << 32 | static_cast<uint64_t>(x[i + 1]) << 16 | x[i];
    const uint64_t q = v / d;  // below 2^32 since r < d <= 65535
    r = v - q * d;
    x[i] = static_cast<uint16_t>(q);
    x[i + 1] = static_cast<uint16_t>(q >> 16);
  }
  return static_cast<uint32_t>(r);
}

// The running remainder is below d, so with the next limb it needs 48 bits.
uint32_t divideByWord(uint16_t* x, size_t n, uint32_t d) {
  assert(d != 0 && "division by zero");
  uint64_t r = 0;
  for (size_t i = n; i-- > 0;) {
    r = (r << 16) | x[i];
    x[i] = static_cast<uint16_t>(r / d);
    r %= d;
  }
  return static_cast<uint32_t>(r);
}

}  // namespace magnitude
