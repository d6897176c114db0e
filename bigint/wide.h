// Word helpers for the limb loops: four 16-bit limbs move as one 64-bit word
// through a carry chain, with a portable fallback for the 64x64-bit product.
#ifndef LONGSQRT_BIGINT_WIDE_H
#define LONGSQRT_BIGINT_WIDE_H

#include <cstdint>
#include <cstring>
#if defined(_MSC_VER) && defined(_M_X64)
#include <intrin.h>
#endif

#if (defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) || defined(_WIN32)
#define LONGSQRT_LITTLE_ENDIAN 1
#endif

namespace wide {

// Returns limbs p[0..3] as one word, p[0] lowest.
inline uint64_t load4(const uint16_t* p) {
#ifdef LONGSQRT_LITTLE_ENDIAN
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
#ifdef LONGSQRT_LITTLE_ENDIAN
  std::memcpy(p, &w, sizeof w);
#else
  p[0] = static_cast<uint16_t>(w);
  p[1] = static_cast<uint16_t>(w >> 16);
  p[2] = static_cast<uint16_t>(w >> 32);
  p[3] = static_cast<uint16_t>(w >> 48);
#endif
}

// Returns the low word of x * y + c and sets hi to its high word; the sum
// never overflows 128 bits.
inline uint64_t mulAdd(uint64_t x, uint64_t y, uint64_t c, uint64_t& hi) {
#if defined(__SIZEOF_INT128__)
  __extension__ typedef unsigned __int128 u128;
  const u128 p = static_cast<u128>(x) * y + c;
  hi = static_cast<uint64_t>(p >> 64);
  return static_cast<uint64_t>(p);
#elif defined(_MSC_VER) && defined(_M_X64)
  uint64_t h;
  uint64_t lo = _umul128(x, y, &h);
  lo += c;
  hi = h + (lo < c);
  return lo;
#else
  const uint64_t x0 = x & 0xFFFFFFFFu, x1 = x >> 32, y0 = y & 0xFFFFFFFFu, y1 = y >> 32;
  const uint64_t p00 = x0 * y0, p01 = x0 * y1, p10 = x1 * y0, p11 = x1 * y1;
  const uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  uint64_t lo = (mid << 32) | (p00 & 0xFFFFFFFFu);
  uint64_t h = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
  lo += c;
  hi = h + (lo < c);
  return lo;
#endif
}

}  // namespace wide

#endif  // LONGSQRT_BIGINT_WIDE_H
