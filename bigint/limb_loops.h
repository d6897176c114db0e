// The forms the limb loops take on different processors, and the choice
// among them: the one part of the limb loops that a program using arbitrary
// may see (--version names the form, LONGSQRT_LIMB_LOOPS chooses it).
#ifndef LONGSQRT_BIGINT_LIMB_LOOPS_H
#define LONGSQRT_BIGINT_LIMB_LOOPS_H

#include <vector>

namespace magnitude {

// multiplyByLimb, multiply and divideBy10 come in forms for more than one kind
// of processor. Every form gives the same limbs, carries and remainders; the
// fastest the processor runs is taken unless usePath chooses another.

// The forms: scalar runs anywhere; avx2 (x86-64 with AVX2, GCC or Clang)
// moves sixteen limbs per vector on magnitudes of 32 limbs and more (48 to
// multiply by a limb).
enum class Path { scalar, avx2 };
// Returns the paths this build can take on this processor, scalar first.
std::vector<Path> supportedPaths();
// Makes the limb loops take path p from now on. Precondition: p is supported.
void usePath(Path p);
// Returns the path the limb loops take.
Path activePath();
// Returns the path's name: "scalar" or "avx2".
const char* pathName(Path p);

}  // namespace magnitude

#endif  // LONGSQRT_BIGINT_LIMB_LOOPS_H
