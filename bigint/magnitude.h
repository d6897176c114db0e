// The limb loops beneath arbitrary: free functions on magnitudes held as
// 16-bit limbs, least significant first, given as (pointer, count). They know
// nothing of forms or signs; each returns its carry, borrow or remainder and
// leaves growing, shrinking and signing the value to the caller.
//
// In place means the result replaces x's limbs and has x's count. Where an
// operand may be the same limbs as x, every loop reads a limb of it before it
// writes the same limb of x.
#ifndef LONGSQRT_BIGINT_MAGNITUDE_H
#define LONGSQRT_BIGINT_MAGNITUDE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bigint/limb_loops.h"
#include "bigint/limb_steps.h"

namespace magnitude {

// --- Comparison -----------------------------------------------------------------

// Returns the count of x's limbs up to and including its highest non-zero one
// (0 when every limb is zero).
size_t significantLength(const uint16_t* x, size_t n);
// Returns -1, 0 or 1 as x is less than, equal to or greater than y; high zero
// limbs do not count.
int compare(const uint16_t* x, size_t n, const uint16_t* y, size_t m);

// --- Addition and subtraction -----------------------------------------------------
//
// increment and addLimb: limb_steps.h.

// Adds y[0..m) to x[0..n) in place (m <= n) and returns the carry out, 0 or 1.
// y may be x.
uint32_t add(uint16_t* x, size_t n, const uint16_t* y, size_t m);
// Subtracts y[0..m) from x[0..n) in place (m <= n) and returns the borrow out,
// 0 or 1; after a borrow x holds the difference plus 65536^n, its two's
// complement. y may be x.
uint32_t subtract(uint16_t* x, size_t n, const uint16_t* y, size_t m);
// Subtracts d from x[0..n) in place (n >= 1), stopping at the first limb that
// leaves no borrow, and returns the borrow out, 0 or 1 (x then holds its two's
// complement, as subtract leaves it).
uint32_t subtractLimb(uint16_t* x, size_t n, uint16_t d);
// Replaces every limb of x[0..n) by its ones' complement.
void complement(uint16_t* x, size_t n);

// --- Multiplication ---------------------------------------------------------------
//
// multiplyByLimb: limb_steps.h.

// Writes the low na + nb - 1 limbs of a[0..na) * b[0..nb) to r (na, nb >= 1)
// and returns the limb above them, so na + nb limbs in all. r may overlap a
// and b: both are read whole before r is written.
uint16_t multiply(uint16_t* r, const uint16_t* a, size_t na, const uint16_t* b, size_t nb);

// --- Construction from decimal digits --------------------------------------------

// For each byte of [first, last) that is an ASCII digit d, in order, multiplies
// x[0..n) by ten and then adds d, appending the carry limb either step gives,
// and returns the new count. x has room for every limb the value grows to. The
// limbs are those of multiplyByLimb by 10 and addLimb, digit by digit.
size_t multiplyByTenAddingDigits(uint16_t* x, size_t n, const char* first, const char* last);

// --- Division ---------------------------------------------------------------------

// Divides x[0..n) by 10 in place and returns the remainder.
uint32_t divideBy10(uint16_t* x, size_t n);
// Writes the decimal digits of x[0..n), least significant first, to digits
// (room for 5n + 1), dividing x by ten once per digit until the quotient is 0,
// and returns their count: "0" alone for a zero. x is left holding limbs of
// the last quotients. The digits are those of divideBy10 pass by pass, with
// the path chosen once.
size_t decimalDigits(uint16_t* x, size_t n, char* digits);
// Divides x[0..n) by d in place (d != 0) and returns the remainder.
uint32_t divideByLimb(uint16_t* x, size_t n, uint16_t d);
// Divides x[0..n) by any d != 0 in place, one limb per step, and returns the
// remainder; the caller keeps it for divisors wider than a limb.
uint32_t divideByWord(uint16_t* x, size_t n, uint32_t d);

}  // namespace magnitude

#endif  // LONGSQRT_BIGINT_MAGNITUDE_H
