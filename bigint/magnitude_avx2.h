// The AVX2 forms of the limb loops that take a run's time, for magnitude.cpp,
// which calls them on long magnitudes when the limb loops take the AVX2 path.
// Each gives the same limbs and the same carry, top limb or remainder as its
// scalar form in magnitude.cpp. They exist where machine.h says they build
// (LONGSQRT_AVX2_FORMS).
#ifndef LONGSQRT_BIGINT_MAGNITUDE_AVX2_H
#define LONGSQRT_BIGINT_MAGNITUDE_AVX2_H

#include <cstddef>
#include <cstdint>

#include "bigint/machine.h"

namespace magnitude {

// Magnitudes shorter than this take the scalar loops on every path: the
// setup of a vector pass costs more than it saves on them.
constexpr size_t kVectorMinLimbs = 32;
// For multiplication by a limb, whose scalar loop moves four limbs a step
// with one carry between them, the vector pass pays from 48 limbs.
constexpr size_t kMultiplyByLimbVectorMinLimbs = 48;
// Magnitudes this long or longer take the long form of multiplyByLimbAvx2,
// which reads each block's limbs again one limb lower: a pass this long is far
// enough behind the previous one, and the reads cost less than the shifts.
constexpr size_t kReloadMinLimbs = 128;

#ifdef LONGSQRT_AVX2_FORMS
// multiplyByLimb for n >= kMultiplyByLimbVectorMinLimbs.
uint32_t multiplyByLimbAvx2(uint16_t* x, size_t n, uint16_t m);
// multiply for na, nb >= kVectorMinLimbs.
uint16_t multiplyAvx2(uint16_t* r, const uint16_t* a, size_t na, const uint16_t* b, size_t nb);
// divideBy10 for n >= kVectorMinLimbs.
uint32_t divideBy10Avx2(uint16_t* x, size_t n);
// decimalDigits, with the AVX2 pass from kVectorMinLimbs.
size_t decimalDigitsAvx2(uint16_t* x, size_t n, char* digits);
#endif

}  // namespace magnitude

#endif  // LONGSQRT_BIGINT_MAGNITUDE_AVX2_H
