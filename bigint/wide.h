// Word helpers for the limb loops: four 16-bit limbs move as one 64-bit word,
// two as one 32-bit word, and 64x64-bit products and column sums go through a
// 128-bit integer where machine.h finds one, through portable branches (shifts
// instead of memcpy, 32-bit halves, pairs of 64-bit words) elsewhere.
#ifndef LONGSQRT_BIGINT_WIDE_H
#define LONGSQRT_BIGINT_WIDE_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bigint/machine.h"

namespace wide {

#ifdef LONGSQRT_WIDE_INT128
__extension__ typedef unsigned __int128 u128;
#endif

// Returns limbs p[0..3] as one word, p[0] lowest.
inline uint64_t load4(const uint16_t* p) {
#ifdef LONGSQRT_WIDE_LITTLE_ENDIAN
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
#else
  return static_cast<uint64_t>(p[0]) | static_cast<uint64_t>(p[1]) << 16 | static_cast<uint64_t>(p[2]) << 32 |
         static_cast<uint64_t>(p[3]) << 48;
#endif
}

// Stores the word w as the limbs p[0..3], lowest first.
inline void store4(uint16_t* p, uint64_t w) {
#ifdef LONGSQRT_WIDE_LITTLE_ENDIAN
  std::memcpy(p, &w, sizeof w);
#else
  p[0] = static_cast<uint16_t>(w);
  p[1] = static_cast<uint16_t>(w >> 16);
  p[2] = static_cast<uint16_t>(w >> 32);
  p[3] = static_cast<uint16_t>(w >> 48);
#endif
}

// Returns the low word of x * m + c for a limb m and sets hi to its high word.
inline uint64_t mulAdd(uint64_t x, uint16_t m, uint64_t c, uint64_t& hi) {
#if defined(LONGSQRT_WIDE_INT128)
  const u128 p = static_cast<u128>(x) * m + c;
  hi = static_cast<uint64_t>(p >> 64);
  return static_cast<uint64_t>(p);
#elif defined(LONGSQRT_WIDE_UMUL128)
  uint64_t h;
  uint64_t lo = _umul128(x, m, &h);
  lo += c;
  hi = h + (lo < c);
  return lo;
#else
  // x * m == high * 2^32 + low, two products below 2^48.
  const uint64_t low = (x & 0xFFFFFFFFu) * m, high = (x >> 32) * m;
  uint64_t lo = low + (high << 32);
  uint64_t h = (high >> 32) + (lo < low);
  lo += c;
  hi = h + (lo < c);
  return lo;
#endif
}

// Multiplies x[0..n) by m in place, adding carry (below 65536) at limb 0, and
// returns the carry out. Four limbs move per step as one word: the same number
// times m, so the same limbs a one-limb loop writes.
inline uint32_t multiplyByLimb(uint16_t* x, size_t n, uint16_t m, uint32_t carry) {
  size_t i = 0;
  uint64_t wordCarry = carry;
  for (; i + 8 <= n; i += 8) {
    uint64_t high0, high1;
    const uint64_t w0 = load4(x + i);
    const uint64_t w1 = load4(x + i + 4);
    store4(x + i, mulAdd(w0, m, wordCarry, high0));
    store4(x + i + 4, mulAdd(w1, m, high0, high1));
    wordCarry = high1;
  }
  for (; i + 4 <= n; i += 4) {
    uint64_t high;
    store4(x + i, mulAdd(load4(x + i), m, wordCarry, high));
    wordCarry = high;
  }
  carry = static_cast<uint32_t>(wordCarry);
  for (; i < n; ++i) {
    carry += static_cast<uint32_t>(x[i]) * m;
    x[i] = static_cast<uint16_t>(carry);
    carry >>= 16;
  }
  return carry;
}

// Divides x[0..n) by 10 in place and returns the remainder. Four limbs per
// step; the quotient limbs are those of a one-limb loop. With r < 10 carried
// in and the next word c == 10 * cq + cr, since 2^64 == 10 * K + 6,
//   r * 2^64 + c == 10 * (r * K + cq) + (6r + cr),
// so the word's quotient is r * K + cq + (6r + cr) / 10 and the remainder
// passed on is (6r + cr) mod 10: only that small step waits for r.
inline uint32_t divideBy10(uint16_t* x, size_t n) {
  constexpr uint64_t kWordTenth = 0xFFFFFFFFFFFFFFFFu / 10;  // K == floor(2^64 / 10)
  size_t i = n;
  uint32_t r = 0;
  while (i % 4 != 0) {
    --i;
    const uint32_t v = r << 16 | x[i];
    x[i] = static_cast<uint16_t>(v / 10);
    r = v % 10;
  }
  while (i > 0) {
    i -= 4;
    const uint64_t c = load4(x + i);
    const uint64_t cq = c / 10;
    const uint32_t s = static_cast<uint32_t>(c - cq * 10) + 6 * r;  // below 64
    const uint32_t sq = s / 10;
    store4(x + i, r * kWordTenth + cq + sq);
    r = s - sq * 10;
  }
  return r;
}

// Writes the n limbs held two to a word in words[] (lowest first) to r, and
// returns limb n, the one above them.
inline uint16_t unpackPairs(const uint32_t* words, size_t n, uint16_t* r) {
  for (size_t i = 0; i < n; ++i) r[i] = static_cast<uint16_t>(words[i / 2] >> (16 * (i % 2)));
  return static_cast<uint16_t>(words[n / 2] >> (16 * (n % 2)));
}

// A column sum of 64-bit partial products, which can grow past 64 bits: add
// a partial product, read the low 32 bits, shift the rest into the next column.
#ifdef LONGSQRT_WIDE_INT128
struct ColumnSum {
  u128 sum = 0;
  void add(uint64_t p) { sum += p; }
  uint32_t low32() const { return static_cast<uint32_t>(sum); }
  void shift32() { sum >>= 32; }
};
#else
struct ColumnSum {
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
};
#endif

}  // namespace wide

#endif  // LONGSQRT_BIGINT_WIDE_H
