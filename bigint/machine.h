// What the compiler and the processor offer the limb loops: a 128-bit integer
// or a 64x64-bit product, the byte order, whether the AVX2 forms can be built,
// and whether this processor runs them. This is the one place that asks; the
// loops read the answers below.
//
// Defining LONGSQRT_PORTABLE_WORDS answers no to every question, as a
// processor without them would: the word helpers take their portable branches
// and the AVX2 forms are left out. The results are the same; the suite runs
// through both.
#ifndef LONGSQRT_BIGINT_MACHINE_H
#define LONGSQRT_BIGINT_MACHINE_H

#if !defined(LONGSQRT_PORTABLE_WORDS)

// A 64x64-bit product and column sums through unsigned __int128, or through
// the _umul128 intrinsic of MSVC on x86-64.
#if defined(__SIZEOF_INT128__)
#define LONGSQRT_WIDE_INT128 1
#elif defined(_MSC_VER) && defined(_M_X64)
#define LONGSQRT_WIDE_UMUL128 1
#include <intrin.h>
#endif

// Four limbs in memory are one 64-bit word, lowest limb first.
#if (defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) || defined(_WIN32)
#define LONGSQRT_WIDE_LITTLE_ENDIAN 1
#endif

// The AVX2 forms build where the compiler can target AVX2 one function at a
// time: GCC and Clang on x86-64. A MinGW build without optimization leaves
// them out: GCC cannot align the Win64 stack for the 32-byte register spills
// that -O0 makes.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && \
    !(defined(__MINGW32__) && !defined(__OPTIMIZE__))
#define LONGSQRT_AVX2_FORMS 1
#endif

#endif  // !LONGSQRT_PORTABLE_WORDS

#ifdef LONGSQRT_AVX2_FORMS
// Keeps a scalar loop out of the function that chooses the path: inlined, its
// register saves would come before the choice and cost every vector pass.
#define LONGSQRT_SCALAR_LOOP __attribute__((noinline))
#else
#define LONGSQRT_SCALAR_LOOP
#endif

namespace machine {

#ifdef LONGSQRT_AVX2_FORMS
// Returns true when this processor runs AVX2 and the system saves its registers.
inline bool runsAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#endif

}  // namespace machine

#endif  // LONGSQRT_BIGINT_MACHINE_H
