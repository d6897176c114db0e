// The AVX2 forms of multiplication by a limb, the column product and division
// by ten: sixteen limbs per vector, the same limbs as the scalar loops.
#include "bigint/magnitude_avx2.h"

#ifdef LONGSQRT_AVX2_FORMS

#include <immintrin.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <vector>

#include "bigint/digit_steps.h"
#include "bigint/wide.h"

// AVX2 is enabled for these functions alone, not for the file: inline library
// code compiled here with AVX2 could be the copy the linker keeps for the
// whole program, and stop it on a processor without AVX2.
#define LONGSQRT_AVX2 __attribute__((target("avx2")))
// The passes, inlined into the digit loops below.
#define LONGSQRT_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace magnitude {

namespace {

LONGSQRT_AVX2 inline __m256i load(const uint16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
LONGSQRT_AVX2 inline void store(uint16_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
LONGSQRT_AVX2 inline uint32_t lane0(__m256i v) {
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(v))) & 0xFFFFu;
}

// Returns lane 15 of v.
LONGSQRT_AVX2 inline uint32_t lane15(__m256i v) {
  return static_cast<uint32_t>(_mm256_extract_epi16(v, 15)) & 0xFFFFu;
}

// Lane j takes lane j - 1 of v; lane 0 takes 0.
LONGSQRT_AVX2 inline __m256i shiftUp(__m256i v) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 14);
}
// Lane j takes lane j - 1 of v; lane 0 takes lane 15 of below.
LONGSQRT_AVX2 inline __m256i shiftUpFrom(__m256i v, __m256i below) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(below, v, 0x21), 14);
}
// Lane j takes lane j + 1 of v; lane 15 takes 0.
LONGSQRT_AVX2 inline __m256i shiftDown(__m256i v) {
  return _mm256_alignr_epi8(_mm256_permute2x128_si256(v, v, 0x81), v, 2);
}

}  // namespace

// --- Multiplication by a limb -----------------------------------------------------
//
// Limb i of x * m is the low half of x[i] * m plus the high half of
// x[i - 1] * m plus the carry out of limb i - 1's sum, which is 0 or 1 (the sum
// is at most 0xFFFF + 0xFFFE + 1). A block forms the sums of its sixteen lanes
// at once and settles the carries afterwards, which for m = 10 is needed in
// about one block in a thousand.

namespace {

// Adds to the lane sums s the carries they pass on, and returns the carry out
// of lane 15. gen is non-zero in the lanes whose sum wrapped: such a lane
// passes 1 on whatever it receives (it holds at most 0xFFFD), a lane holding
// 0xFFFF passes on what it receives, and lane 0 receives nothing (the carry
// into the block is in its addend). With two mask bits a lane, a wrapped lane
// as x = 11, y = 10 and a full one as x = 11, y = 00, the carries into the
// lanes are those of the sum x + y, and y has no even bit: bit 2j of
// (x + y) ^ x is the carry into lane j. carriesIn gets those bits.
LONGSQRT_AVX2 inline uint32_t settleCarries(__m256i& s, __m256i gen, uint32_t& carriesIn) {
  const uint32_t wrapped =
      ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(gen, _mm256_setzero_si256())));
  const uint32_t full =
      static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(s, _mm256_set1_epi16(-1))));
  const uint64_t x = wrapped | full;
  const uint64_t y = wrapped & 0xAAAAAAAAu;
  const uint64_t sum = x + y;
  const uint32_t in = static_cast<uint32_t>(sum ^ x) & 0x55555555u;
  carriesIn = in;
  // Each lane's bit, spread over the lane (the low half of the mask over
  // lanes 0..7, the high half over 8..15), becomes 0 or 0xFFFF: subtracting
  // it adds the carry.
  const __m256i bit =
      _mm256_setr_epi16(1, 4, 16, 64, 256, 1024, 4096, 16384, 1, 4, 16, 64, 256, 1024, 4096, 16384);
  const __m256i spread =
      _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(in)),
                          _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 2, 3, 2, 3, 2, 3,
                                           2, 3, 2, 3, 2, 3, 2, 3, 2, 3));
  s = _mm256_sub_epi16(s, _mm256_cmpeq_epi16(_mm256_and_si256(spread, bit), bit));
  return static_cast<uint32_t>(sum >> 32);
}

}  // namespace

namespace {

// Limbs 0..3 go as one word, as in the long form below. Each block is read
// where the previous pass wrote it, whole: a short pass follows that pass so
// closely that its stores may not have reached the cache, and a read across
// two of them would wait for both. So a lane's addend, the high half of the
// product of the lane below, is shifted up from the block and the one below
// it in registers, and the limbs above the last block go as words and limbs
// as that pass wrote them.
LONGSQRT_AVX2_INLINE uint32_t multiplyByLimbShortAvx2(uint16_t* x, size_t n, uint16_t m) {
  const __m256i factor = _mm256_set1_epi16(static_cast<short>(m));
  const __m256i one = _mm256_setr_epi16(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const size_t end = 4 + ((n - 4) & ~size_t{15});
  uint64_t high;
  wide::store4(x, wide::mulAdd(wide::load4(x), m, 0, high));
  // Lane 15: the addend of the next block's lane 0, first the carry into limb 4.
  __m256i below = _mm256_set1_epi16(static_cast<short>(high));
  uint32_t carriesIn = 0;
  uint32_t carry = 0;  // out of the last block, into the next
  for (size_t i = 4; i < end; i += 16) {
    const __m256i v = load(x + i);
    const __m256i highs = _mm256_mulhi_epu16(v, factor);
    __m256i addend = shiftUpFrom(highs, below);
    below = highs;
    if (carry != 0) addend = _mm256_add_epi16(addend, one);
    __m256i s = _mm256_add_epi16(_mm256_mullo_epi16(v, factor), addend);
    const __m256i wrapped = _mm256_subs_epu16(addend, s);
    carry = 0;
    if (!_mm256_testz_si256(wrapped, wrapped)) carry = settleCarries(s, wrapped, carriesIn);
    store(x + i, s);
  }
  // Into limb `end`: the high half of limb end - 1's product and the carry
  // out of its sum.
  carry += lane15(below);
  return wide::multiplyByLimb(x + end, n - end, m, carry);
}

// The long form. The blocks start at the first 32-byte boundary from limb 4
// on, so that no block's read or write crosses a cache line; the limbs below
// go as words, the first four as one, as the digit addition before the pass
// stored them: a vector read of that narrower store would wait for it to
// reach the cache. Blocks of sixteen follow, two at a time; the limbs left
// above the last block are done as one more block that ends at the top limb
// and overlaps the last block.
LONGSQRT_AVX2_INLINE uint32_t multiplyByLimbLongAvx2(uint16_t* x, size_t n, uint16_t m) {
  const __m256i factor = _mm256_set1_epi16(static_cast<short>(m));
  const __m256i one = _mm256_setr_epi16(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const size_t head = 4 + ((0u - reinterpret_cast<uintptr_t>(x + 4)) & 31) / 2;  // limbs are 2-byte aligned
  const size_t end = head + ((n - head) & ~size_t{15});
  const size_t left = n - end;
  const size_t last = end - 16;
  const uint32_t topHigh = static_cast<uint32_t>(x[n - 1]) * m >> 16;
  const __m256i first = load(x + head);
  const uint32_t high = wide::multiplyByLimb(x, head, m, 0);
  // A lane's addend is the high half of the product below it; lane 0's also
  // holds the carry into the block.
  __m256i addend0 = _mm256_add_epi16(
      _mm256_mulhi_epu16(shiftUp(first), factor),
      _mm256_inserti128_si256(_mm256_setzero_si256(), _mm_cvtsi32_si128(static_cast<int>(high)), 0));
  uint32_t carriesIn = 0;
  size_t i = head;
  for (; i + 32 <= last; i += 32) {
    const __m256i v0 = load(x + i);
    const __m256i v1 = load(x + i + 16);
    __m256i addend1 = _mm256_mulhi_epu16(load(x + i + 15), factor);
    __m256i s0 = _mm256_add_epi16(_mm256_mullo_epi16(v0, factor), addend0);
    __m256i s1 = _mm256_add_epi16(_mm256_mullo_epi16(v1, factor), addend1);
    const __m256i wrapped0 = _mm256_subs_epu16(addend0, s0);
    __m256i wrapped1 = _mm256_subs_epu16(addend1, s1);
    addend0 = _mm256_mulhi_epu16(load(x + i + 31), factor);  // limb i + 31 is read before it is written
    const __m256i wrapped = _mm256_or_si256(wrapped0, wrapped1);
    if (!_mm256_testz_si256(wrapped, wrapped)) {
      if (settleCarries(s0, wrapped0, carriesIn) != 0) {
        addend1 = _mm256_add_epi16(addend1, one);
        s1 = _mm256_add_epi16(s1, one);
        wrapped1 = _mm256_subs_epu16(addend1, s1);
      }
      if (settleCarries(s1, wrapped1, carriesIn) != 0) addend0 = _mm256_add_epi16(addend0, one);
    }
    store(x + i, s0);
    store(x + i + 16, s1);
  }
  if (i < last) {
    __m256i s = _mm256_add_epi16(_mm256_mullo_epi16(load(x + i), factor), addend0);
    const __m256i wrapped = _mm256_subs_epu16(addend0, s);
    addend0 = _mm256_mulhi_epu16(load(x + i + 15), factor);
    if (!_mm256_testz_si256(wrapped, wrapped) && settleCarries(s, wrapped, carriesIn) != 0) {
      addend0 = _mm256_add_epi16(addend0, one);
    }
    store(x + i, s);
    i += 16;
  }
  __m256i s = _mm256_add_epi16(_mm256_mullo_epi16(load(x + i), factor), addend0);
  const __m256i wrapped = _mm256_subs_epu16(addend0, s);
  carriesIn = 0;
  uint32_t carry = 0;
  if (!_mm256_testz_si256(wrapped, wrapped)) carry = settleCarries(s, wrapped, carriesIn);
  if (left != 0) {
    // The top block reads its limbs before the last block is written. It
    // starts at lane `left` of the last block, so the carry into that lane
    // enters its lane 0; its other carries it settles itself.
    __m256i topAddend = _mm256_mulhi_epu16(load(x + n - 17), factor);
    if ((carriesIn >> (2 * left)) & 1) topAddend = _mm256_add_epi16(topAddend, one);
    __m256i top = _mm256_add_epi16(_mm256_mullo_epi16(load(x + n - 16), factor), topAddend);
    const __m256i topWrapped = _mm256_subs_epu16(topAddend, top);
    carry = 0;
    if (!_mm256_testz_si256(topWrapped, topWrapped)) carry = settleCarries(top, topWrapped, carriesIn);
    store(x + n - 16, top);  // the overlap gets the same limbs from both blocks
  }
  store(x + i, s);
  return topHigh + carry;
}

}  // namespace

LONGSQRT_AVX2 uint32_t multiplyByLimbAvx2(uint16_t* x, size_t n, uint16_t m) {
  assert(n >= kMultiplyByLimbVectorMinLimbs && "short magnitudes take the scalar loop");
  return n < kReloadMinLimbs ? multiplyByLimbShortAvx2(x, n, m) : multiplyByLimbLongAvx2(x, n, m);
}

// --- The column product -----------------------------------------------------------
//
// Column i of the product of 32-bit words sums a[j] * b[i - j]. With b's words
// stored from the top down, a column is the dot product of two ascending runs,
// four 64-bit products a step; four zero words after each run let every
// column read whole steps. Each lane keeps the sum of its products (modulo
// 2^64) and the sum of their high halves: the sum of their low halves, below
// 2^64 for fewer than 2^32 products, is the first less the second shifted up.

namespace {

LONGSQRT_AVX2 inline uint64_t sumLanes(__m256i v) {
  const __m128i s = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  return static_cast<uint64_t>(_mm_cvtsi128_si64(s)) + static_cast<uint64_t>(_mm_extract_epi64(s, 1));
}

// Returns limbs 2j and 2j + 1 of x[0..n) as one word.
inline uint64_t wordAt(const uint16_t* x, size_t n, size_t j) {
  return x[2 * j] | (2 * j + 1 < n ? static_cast<uint64_t>(x[2 * j + 1]) << 16 : 0);
}

// Adds four products of words of p and q to the lanes' sums.
LONGSQRT_AVX2 inline void addProducts(const uint64_t* p, const uint64_t* q, __m256i& all, __m256i& highs) {
  const __m256i product = _mm256_mul_epu32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                           _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q)));
  all = _mm256_add_epi64(all, product);
  highs = _mm256_add_epi64(highs, _mm256_srli_epi64(product, 32));
}

}  // namespace

LONGSQRT_AVX2 uint16_t multiplyAvx2(uint16_t* r, const uint16_t* a, size_t na, const uint16_t* b, size_t nb) {
  assert(na >= kVectorMinLimbs && nb >= kVectorMinLimbs && "short magnitudes take the scalar loop");
  const size_t wa = (na + 1) / 2;
  const size_t wb = (nb + 1) / 2;
  const size_t wr = wa + wb;
  // The factors' words, each in a 64-bit lane for the product, and the
  // product's 32-bit words, each in storage of its own type.
  thread_local std::vector<uint64_t> factorWords;
  thread_local std::vector<uint32_t> productWords;
  if (factorWords.size() < wa + wb + 8) factorWords.resize(wa + wb + 8);
  if (productWords.size() < wr) productWords.resize(wr);
  uint64_t* aw = factorWords.data();
  uint64_t* bw = aw + wa + 4;
  uint32_t* rw = productWords.data();
  for (size_t j = 0; j < wa; ++j) aw[j] = wordAt(a, na, j);
  for (size_t j = 0; j < wb; ++j) bw[j] = wordAt(b, nb, wb - 1 - j);
  std::fill(aw + wa, aw + wa + 4, 0);
  std::fill(bw + wb, bw + wb + 4, 0);
  wide::u128 column = 0;
  for (size_t i = 0; i + 1 < wr; ++i) {
    const size_t jFirst = i >= wb ? i - wb + 1 : 0;
    const size_t count = std::min(i, wa - 1) - jFirst + 1;
    const uint64_t* p = aw + jFirst;
    const uint64_t* q = bw + (wb - 1 - i + jFirst);
    __m256i all0 = _mm256_setzero_si256(), highs0 = all0, all1 = all0, highs1 = all0;
    size_t k = 0;
    for (; k + 5 <= count; k += 8) {  // up to 3 words past the run: zeros, or words that meet zeros
      addProducts(p + k, q + k, all0, highs0);
      addProducts(p + k + 4, q + k + 4, all1, highs1);
    }
    if (k < count) addProducts(p + k, q + k, all0, highs0);
    const __m256i all = _mm256_add_epi64(all0, all1);
    const __m256i highs = _mm256_add_epi64(highs0, highs1);
    column += sumLanes(_mm256_sub_epi64(all, _mm256_slli_epi64(highs, 32)));
    column += static_cast<wide::u128>(sumLanes(highs)) << 32;
    rw[i] = static_cast<uint32_t>(column);
    column >>= 32;
  }
  rw[wr - 1] = static_cast<uint32_t>(column);
  return wide::unpackPairs(rw, na + nb - 1, r);
}

// --- Division by ten --------------------------------------------------------------
//
// Since 65536 == 6 (mod 10), the remainder after limb j, the value of limbs
// j.. modulo 10, is limb j's parity and, modulo 5, the sum of limbs j.. (65536
// == 1 (mod 5), and so is 256: a limb is its two bytes' sum modulo 5). A block
// takes those sums as suffix sums over its lanes, plus the sum of the limbs
// above it, and from the remainders r it gets every quotient limb at once:
// with r' the remainder from the limb above,
//   q = (r' * 65536 + limb - r) / 10,
// an exact division, done as a halving and a product by 1/5 modulo 65536.

namespace {

struct TenthConstants {
  LONGSQRT_AVX2 TenthConstants()
      : six(_mm256_set1_epi8(6)),
        fiveLow(_mm256_set1_epi16(5)),
        ten(_mm256_set1_epi16(10)),
        fifth(_mm256_set1_epi16(static_cast<short>(0xCCCD))),
        ones(_mm256_set1_epi16(-1)),
        bit15(_mm256_set1_epi16(static_cast<short>(0x8000))),
        lane0(_mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1,
                               0, 1, 0, 1, 0, 1)) {}
  __m256i six;      // byte weights 6, 6
  __m256i fiveLow;  // byte weights 5, 0
  __m256i ten;
  __m256i fifth;  // 1/5 modulo 65536, and 2^19 / 10 rounded up
  __m256i ones, bit15;
  __m256i lane0;  // a shuffle that spreads each half's lane 0 over the half
};

// Divides the block v by 10 and returns its quotient limbs. above holds each
// lane's limb above (only its parity counts), c6 == 6 * (the sum of the limbs
// above the block, mod 5) in every lane. Sets sums to the block's suffix sums
// (lane 0: six times the bytes of the whole block) and r to the remainders
// after each lane.
LONGSQRT_AVX2 inline __m256i divideBlock(__m256i v, __m256i above, __m256i c6, const TenthConstants& k,
                                         __m256i& sums, __m256i& r) {
  __m256i s = _mm256_maddubs_epi16(v, k.six);  // 6 * (low byte + high byte), at most 3060
  s = _mm256_add_epi16(s, _mm256_bsrli_epi128(s, 2));
  s = _mm256_add_epi16(s, _mm256_bsrli_epi128(s, 4));
  s = _mm256_add_epi16(s, _mm256_bsrli_epi128(s, 8));
  s = _mm256_add_epi16(s, _mm256_shuffle_epi8(_mm256_permute2x128_si256(s, s, 0x81), k.lane0));
  sums = s;
  // V == limb (mod 2) and V == the limbs from this lane up (mod 5), so r == V
  // mod 10: sums and c6 are even, and 5 times the limb's low byte has its
  // parity (V stays below 51000).
  const __m256i V = _mm256_add_epi16(_mm256_add_epi16(s, c6), _mm256_maddubs_epi16(v, k.fiveLow));
  const __m256i tenths = _mm256_srli_epi16(_mm256_mulhi_epu16(V, k.fifth), 3);  // exact for 16 bits
  // Times ten as a multiplication: the compiler would make it three shifts and
  // adds, on the units the sums and shuffles already keep busy.
  __m256i ten = k.ten;
  __asm__("" : "+x"(ten));
  r = _mm256_sub_epi16(V, _mm256_mullo_epi16(tenths, ten));
  // (limb - r) / 2, through avg's 17-bit sum and its 0x8000 removed, plus
  // 0x8000 when r' is odd: r' has the parity of the limb above.
  const __m256i half = _mm256_avg_epu16(v, _mm256_xor_si256(r, k.ones));
  const __m256i y = _mm256_xor_si256(half, _mm256_xor_si256(_mm256_slli_epi16(above, 15), k.bit15));
  return _mm256_mullo_epi16(y, k.fifth);
}

LONGSQRT_AVX2 inline __m256i carryOfSum(uint64_t sumAbove) {
  return _mm256_set1_epi16(static_cast<short>(6 * (sumAbove % 5)));
}

// The c6 of the block below one whose lane 0 has remainder r: the limbs above
// that block sum to r (mod 5).
LONGSQRT_AVX2 inline __m256i carryOfRemainder(__m256i r) {
  const __m256i c6 = _mm256_setr_epi8(0, 6, 12, 18, 24, 0, 6, 12, 18, 24, 0, 0, 0, 0, 0, 0,  //
                                      0, 6, 12, 18, 24, 0, 6, 12, 18, 24, 0, 0, 0, 0, 0, 0);
  const __m256i looked = _mm256_shuffle_epi8(c6, _mm256_broadcastb_epi8(_mm256_castsi256_si128(r)));
  return _mm256_and_si256(looked, _mm256_set1_epi16(0xFF));
}

// Lanes 0..k-1 set: the sixteen lanes from kLowLanes + 16 - k.
alignas(32) const uint16_t kLowLanes[32] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                                            0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};

// Blocks of sixteen from the top limb down, two at a time: the upper block of
// a pair takes the sum of the limbs above from a running total, the lower one
// from the upper one's last remainder, so the total is reduced once a pair.
// The limbs left below the blocks are done last, as a block at limb 0 that
// overlaps the lowest one.
LONGSQRT_AVX2_INLINE uint32_t divideBy10WithAvx2(uint16_t* x, size_t n, const TenthConstants& k) {
  const size_t left = n % 16;
  size_t i = n - 16;
  __m256i v = load(x + i);
  __m256i above = shiftDown(v);  // nothing above the top limb
  uint64_t sumAbove = 0;
  __m256i q, r, sums;
  for (;;) {
    q = divideBlock(v, above, carryOfSum(sumAbove), k, sums, r);
    if (i == left) break;
    // The lower block reads limb i before the upper block is written.
    __m256i lowerSums, lowerR;
    const __m256i lowerQ =
        divideBlock(load(x + i - 16), load(x + i - 15), carryOfRemainder(r), k, lowerSums, lowerR);
    sumAbove += lane0(sums) + lane0(lowerSums);
    store(x + i, q);
    i -= 16;
    q = lowerQ;
    r = lowerR;
    if (i == left) break;
    v = load(x + i - 16);
    above = load(x + i - 15);
    store(x + i, q);
    i -= 16;
  }
  if (left == 0) {
    store(x, q);
    return lane0(r);
  }
  // The block at 0 sums its lanes below `left` alone and takes the limbs
  // above them from the remainder at `left`. Its lanes from `left` up come
  // out wrong, and the block at `left`, written after it, puts them right.
  const __m256i low = _mm256_and_si256(load(x), load(kLowLanes + 16 - left));
  __m256i lowSums, lowR;
  const __m256i lowQ = divideBlock(low, load(x + 1), carryOfRemainder(r), k, lowSums, lowR);
  store(x, lowQ);
  store(x + left, q);
  return lane0(lowR);
}

}  // namespace

LONGSQRT_AVX2 uint32_t divideBy10Avx2(uint16_t* x, size_t n) {
  assert(n >= kVectorMinLimbs && "short magnitudes take the scalar loop");
  const TenthConstants k;
  return divideBy10WithAvx2(x, n, k);
}

// The pass inlined, its constants set up once for the whole value.
LONGSQRT_AVX2 size_t decimalDigitsAvx2(uint16_t* x, size_t n, char* digits) {
  const TenthConstants k;
  return digitsteps::decimalDigits(x, n, digits, [&k](uint16_t* x, size_t n) LONGSQRT_AVX2 {
    return n < kVectorMinLimbs ? wide::divideBy10(x, n) : divideBy10WithAvx2(x, n, k);
  });
}

}  // namespace magnitude

#endif  // LONGSQRT_AVX2_FORMS
