// Word helpers for the limb loops: four 16-bit limbs move as one 64-bit word,
// 64x64-bit products and column sums go through a 128-bit integer where the
// compiler has one. This is the one place that asks what the machine offers.
//
// Defining LONGSQRT_PORTABLE_WORDS forces the portable branches everywhere:
// limbs are packed with shifts instead of memcpy, and products and column sums
// are built from 32-bit halves and pairs of 64-bit words. The results are the
// same; the suite runs through both.
#ifndef LONGSQRT_BIGINT_WIDE_H
#define LONGSQRT_BIGINT_WIDE_H

#include <cstdint>
#include <cstring>

#if !defined(LONGSQRT_PORTABLE_WORDS)
#if defined(__SIZEOF_INT128__)
#define LONGSQRT_WIDE_INT128 1
#elif defined(_MSC_VER) && defined(_M_X64)
#define LONGSQRT_WIDE_UMUL128 1
#include <intrin.h>
#endif
#if (defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) || defined(_WIN32)
#define LONGSQRT_WIDE_LITTLE_ENDIAN 1
#endif
#endif

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
