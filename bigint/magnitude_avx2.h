// The AVX2 forms of the limb loops that take a run's time, for magnitude.cpp,
// which calls them on long magnitudes when the limb loops take the AVX2 path.
// Each gives the same limbs and the same carry, top limb or remainder as its
// scalar form in magnitude.cpp.
#ifndef LONGSQRT_BIGINT_MAGNITUDE_AVX2_H
#define LONGSQRT_BIGINT_MAGNITUDE_AVX2_H

#include <cstddef>
#include <cstdint>

// They exist where the compiler can target AVX2 one function at a time: GCC
// and Clang on x86-64. A build with the portable words forced stands for a
// processor without them, and leaves them out too; so does a MinGW build
// without optimization, whose 32-byte register spills GCC cannot align on
// the Win64 stack.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(LONGSQRT_PORTABLE_WORDS) && \
    !(defined(__MINGW32__) && !defined(__OPTIMIZE__))
#define LONGSQRT_AVX2_FORMS 1
// Keeps a scalar loop out of the function that chooses the path: inlined, its
// register saves would come before the choice and cost every vector pass.
#define LONGSQRT_SCALAR_LOOP __attribute__((noinline))
#else
#define LONGSQRT_SCALAR_LOOP
#endif

namespace magnitude {

// Magnitudes shorter than this take the scalar loops on every path: the
// setup of a vector pass costs more than it saves on them.
constexpr size_t kVectorMinLimbs = 32;

#ifdef LONGSQRT_AVX2_FORMS
// Returns true when the processor runs AVX2 and the system saves its registers.
bool avx2Supported();
// multiplyByLimb for n >= kVectorMinLimbs.
uint32_t multiplyByLimbAvx2(uint16_t* x, size_t n, uint16_t m);
// multiply for na, nb >= kVectorMinLimbs.
uint16_t multiplyAvx2(uint16_t* r, const uint16_t* a, size_t na, const uint16_t* b, size_t nb);
// divideBy10 for n >= kVectorMinLimbs.
uint32_t divideBy10Avx2(uint16_t* x, size_t n);
#endif

}  // namespace magnitude

#endif  // LONGSQRT_BIGINT_MAGNITUDE_AVX2_H
