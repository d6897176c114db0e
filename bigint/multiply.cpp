// Multiplication of arbitrary values: one 32-bit product in the small form,
// otherwise a one-pass limb multiply or the schoolbook column product.
#include <algorithm>
#include <cassert>
#include <vector>

#include "bigint/arbitrary.h"
#include "bigint/wide.h"

// --- Signed layer -------------------------------------------------------------

arbitrary& arbitrary::operator*=(arbitrary& other) {
  if (&other == this) {
    // The product overwrites the limbs it reads, so square through a copy.
    arbitrary copy(other);
    return *this *= copy;
  }
  promoteForMul();
  other.promoteForMul();
  if (limbs.empty()) {
    if (other.limbs.empty()) {
      smallValue *= other.smallValue;  // both inside the window: no overflow
      return *this;
    }
    // small * large == large * small
    const int32_t v = smallValue;
    *this = other;
    return *this *= v;
  }
  if (other.limbs.empty()) return *this *= other.smallValue;
  multiplyMagnitude(other);
  nonNegative = nonNegative == other.nonNegative;
  return *this;
}

arbitrary& arbitrary::multiplyIntSlow(int32_t a) {
  promoteForMul();
  if (!limbs.empty()) {
    multiplyWord(absWord(a));
    nonNegative = (a >= 0) == nonNegative;
    return *this;
  }
  // The guard left the object inside the window and the inline operator took
  // every factor inside it, so a lies outside: above the window (a > v) or
  // below it. v * a == a * v: hold a, so that the guard of the second call
  // promotes it.
  const int32_t v = smallValue;
  assert(a > v || a < -0x8000);
  smallValue = a;
  return *this *= v;
}

// --- Magnitude layer ----------------------------------------------------------

void arbitrary::multiplyWord(uint32_t w) {
  if (w > 0xFFFFu) {
    arbitrary wide;
    wide.setMagnitude32(w);
    multiplyMagnitude(wide);
  } else {
    multiplyLimb(static_cast<uint16_t>(w));
  }
}

// Multiplies the limbs p[0..n) by m in place and returns the carry out (below
// 65536). Four limbs move per step as one word: the same number times m, so
// the same limbs a one-limb loop writes.
uint32_t arbitrary::multiplyLimbs(uint16_t* p, size_t n, uint16_t m) {
  size_t i = 0;
  uint64_t wideCarry = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t high0, high1;
    const uint64_t w0 = wide::load4(p + i);
    const uint64_t w1 = wide::load4(p + i + 4);
    wide::store4(p + i, wide::mulAdd(w0, m, wideCarry, high0));
    wide::store4(p + i + 4, wide::mulAdd(w1, m, high0, high1));
    wideCarry = high1;
  }
  for (; i + 4 <= n; i += 4) {
    uint64_t high;
    wide::store4(p + i, wide::mulAdd(wide::load4(p + i), m, wideCarry, high));
    wideCarry = high;
  }
  uint32_t carry = static_cast<uint32_t>(wideCarry);
  for (; i < n; ++i) {
    carry += static_cast<uint32_t>(p[i]) * m;
    p[i] = static_cast<uint16_t>(carry);
    carry >>= 16;
  }
  return carry;
}

namespace {

// A column sum of 64-bit partial products, wider than 64 bits.
struct ColumnAccumulator {
#if defined(__SIZEOF_INT128__)
  __extension__ typedef unsigned __int128 u128;
  u128 sum = 0;
  void add(uint64_t p) { sum += p; }
  uint32_t low32() const { return static_cast<uint32_t>(sum); }
  void shift32() { sum >>= 32; }
#else
  uint64_t low = 0, high = 0;
  void add(uint64_t p) {
    low += p;
    high += low < p;
  }
  uint32_t low32() const { return static_cast<uint32_t>(low); }
  void shift32() {
    low = (low >> 32) | (high << 32);
    high >>= 32;
  }
#endif
};

// Packs limbs pairwise into 32-bit words, lowest first (an odd top limb pairs
// with zero).
void packPairs(const uint16_t* limbs, size_t n, uint32_t* words) {
  for (size_t i = 0; i + 1 < n; i += 2) words[i / 2] = limbs[i] | static_cast<uint32_t>(limbs[i + 1]) << 16;
  if (n % 2 != 0) words[n / 2] = limbs[n - 1];
}

}  // namespace

void arbitrary::multiplyMagnitude(const arbitrary& other) {
  assert(&other != this && !limbs.empty() && !other.limbs.empty());
  // The columns run over pairs of limbs (32-bit words): the same product, so
  // the same limbs as column sums over single limbs. The left factor is copied
  // into the scratch words, then the object's limbs receive the product.
  const size_t na = limbs.size();
  const size_t nb = other.limbs.size();
  const size_t wa = (na + 1) / 2;
  const size_t wb = (nb + 1) / 2;
  const size_t wr = wa + wb;
  thread_local std::vector<uint32_t> scratch;
  if (scratch.size() < wa + wb + wr) scratch.resize(wa + wb + wr);
  uint32_t* a = scratch.data();
  uint32_t* b = a + wa;
  uint32_t* r = b + wb;
  packPairs(limbs.data(), na, a);
  packPairs(other.limbs.data(), nb, b);
  ColumnAccumulator acc;
  for (size_t i = 0; i + 1 < wr; ++i) {
    const size_t jFirst = i >= wb ? i - wb + 1 : 0;
    const size_t jLast = std::min(i, wa - 1);
    for (size_t j = jFirst; j <= jLast; ++j) acc.add(static_cast<uint64_t>(a[j]) * b[i - j]);
    r[i] = acc.low32();
    acc.shift32();
  }
  r[wr - 1] = acc.low32();
  // The column loop over single limbs leaves na + nb - 1 limbs (na for a
  // one-limb factor) and appends the final carry limb only when it is not 0.
  const size_t nr = nb > 1 ? na + nb - 1 : na;
  limbs.reserve(nr + 1);  // one allocation at most, the carry limb included
  limbs.resize(nr);
  for (size_t i = 0; i < nr; ++i) limbs[i] = static_cast<uint16_t>(r[i / 2] >> (16 * (i % 2)));
  const uint16_t top = static_cast<uint16_t>(r[nr / 2] >> (16 * (nr % 2)));
  if (top != 0) limbs.push_back(top);
}
