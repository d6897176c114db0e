// arbitrary: a signed integer of unbounded size that stays a plain 32-bit
// integer while the next operation cannot overflow and moves to 16-bit limbs
// just before one could.
//
// Representation (three fields, in this order):
//   smallValue   signed 32-bit; the whole value in the small form, 0 in the
//                large form.
//   limbs        unsigned 16-bit limbs, least significant first, base 65536.
//   nonNegative  the sign of the large form (true for zero and positive).
//
// Small form: `limbs` is empty and the value is `smallValue` (any signed 32-bit
//   value). `nonNegative` carries no sign there: it keeps the last value written
//   to it, since leaving the large form (normalize, assignment of a small value
//   or of a machine integer) never touches it and printing reads it.
// Large form: `limbs` holds at least one limb; the value is the magnitude,
//   negated when `nonNegative` is false. High zero limbs are allowed: only
//   `normalize` removes them. A large value may hold a number that would fit
//   the small form, and its magnitude may be zero (equal to 0 whatever the
//   flag says). A value leaves the large form only through `normalize` (one
//   limb left) or assignment of a small value or of a machine integer.
//
// The guards decide when a small value is promoted; their ranges, and the
// argument windows of the inline operators, are named in small_ranges.h.
//
// An operation that cannot grow the limbs throws std::bad_alloc and leaves
// its target as it was, and its right operand holding its value.
#ifndef LONGSQRT_BIGINT_ARBITRARY_H
#define LONGSQRT_BIGINT_ARBITRARY_H

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "bigint/limb_steps.h"
#include "bigint/small_ranges.h"

class arbitrary {
 public:
  // --- Construction, assignment, negation -----------------------------------

  // Constructs the small form holding v, flagged non-negative.
  arbitrary(int32_t v = 0) noexcept : smallValue(v), nonNegative(true) {}
  // Constructs the value a decimal text denotes: up to 8 bytes as the C
  // library reads an integer, longer texts digit by digit skipping non-digits,
  // negative only when the first byte is '-'. Precondition: text is not null.
  explicit arbitrary(const char* text);
  // Copies form, limbs and sign flag; the copy owns its own limbs.
  arbitrary(const arbitrary&) = default;
  // Takes over another value's limbs, leaving it a valid small 0.
  arbitrary(arbitrary&& other) noexcept;
  // Assigns s; a small s empties the limbs and keeps this flag (x = x works).
  arbitrary& operator=(const arbitrary& s);
  // Assigns s as the copy does, taking over its limbs and leaving it a valid
  // small 0 (x = std::move(x) changes nothing).
  arbitrary& operator=(arbitrary&& s) noexcept;
  // Assigns the small form v; empties the limbs and keeps the sign flag.
  arbitrary& operator=(int32_t v) noexcept {
    smallValue = v;
    if (!isSmall()) limbs.clear();
    return *this;
  }
  ~arbitrary() = default;

  // Negates in place: the small value by two's complement (-2147483648 becomes
  // the large 2147483648), a large value by flipping its flag.
  arbitrary& negate();

  // --- Read access to the representation -------------------------------------
  // (Writing it goes through arbitrary_internals.h, for the library's own
  // files, its tests and the fuzz model.)

  // Returns true in the small form (no limbs).
  bool isSmall() const noexcept { return limbs.empty(); }
  // Returns the number of limbs: 0 in the small form.
  size_t limbCount() const noexcept { return limbs.size(); }
  // Returns limb i. Precondition: i < limbCount().
  uint16_t limb(size_t i) const noexcept;
  // Returns the small-form field (0 in the large form).
  int32_t smallPart() const noexcept { return smallValue; }
  // Returns the sign flag (meaningful in the large form only).
  bool nonNegativeFlag() const noexcept { return nonNegative; }
  // Returns the magnitude's low 32 bits: |smallValue|, or limb 1:limb 0.
  uint32_t magnitudeLow32() const noexcept;
  // Returns |v| as an unsigned word: -2147483648 gives 0x80000000.
  static uint32_t absWord(int32_t v) noexcept {
    return v > 0 ? static_cast<uint32_t>(v) : 0u - static_cast<uint32_t>(v);
  }

  // --- Addition and subtraction ----------------------------------------------
  // The right operand goes through promoteForAdd (its form may change, its
  // value never does); x += x and x -= x work.

  // Adds other to this value.
  arbitrary& operator+=(arbitrary& other);
  // Subtracts other from this value.
  arbitrary& operator-=(arbitrary& other);
  // Adds the machine integer a.
  arbitrary& operator+=(int32_t a) {
    if (isSmall()) {
      if (smallrange::fitsAddGuard(smallValue) && smallrange::fitsAddArgument(a)) {
        smallValue += a;
        return *this;
      }
    } else if (nonNegative && a >= 0 && a <= 0xFFFF) {
      addLimb(static_cast<uint16_t>(a));  // a below 65536 is one limb, added to the magnitude
      return *this;
    }
    return addIntSlow(a);
  }
  // Subtracts the machine integer a.
  arbitrary& operator-=(int32_t a) {
    if (isSmall() && smallrange::fitsAddGuard(smallValue) && smallrange::fitsAddArgument(a)) {
      smallValue -= a;
      return *this;
    }
    return subtractIntSlow(a);
  }

  // --- Multiplication ----------------------------------------------------------
  // The right operand goes through promoteForMul (its form may change, its
  // value never does). The result is never normalized.

  // Multiplies by other; x *= x works (the operand is copied first).
  arbitrary& operator*=(arbitrary& other);
  // Multiplies by the machine integer a.
  arbitrary& operator*=(int32_t a) {
    if (isSmall()) {
      if (smallrange::fitsMulWindow(smallValue) && smallrange::fitsMulWindow(a)) {
        smallValue *= a;  // both inside the window: the product fits
        return *this;
      }
    } else if (a >= 0 && a <= 0xFFFF) {
      multiplyLimb(static_cast<uint16_t>(a));  // a non-negative factor keeps the sign
      return *this;
    }
    return multiplyIntSlow(a);
  }

  // --- Comparison (by value, whatever the forms; operands unchanged) ---------

  // Returns true when this value is greater than b.
  bool operator>(const arbitrary& b) const noexcept { return compare(b) > 0; }
  // Returns true when this value is greater than w.
  bool operator>(int32_t w) const noexcept { return compare(w) > 0; }
  // Returns true when this value is less than w.
  bool operator<(int32_t w) const noexcept { return compare(w) < 0; }
  // Returns true when this value equals w.
  bool operator==(int32_t w) const noexcept { return compare(w) == 0; }

  // --- Division and decimal output -------------------------------------------

  // Divides in place by d, truncating toward zero, and returns the remainder
  // of the magnitude (0 .. d-1); the flag is never changed. A value of at most
  // two limbs ends in the small form unless its signed quotient does not fit
  // 32 bits (only d == 1 on a large 2147483648 .. 4294967295, left as it is).
  // Precondition: d != 0.
  uint32_t divideByWord(uint32_t d);
  // Writes v as signed decimal text, whatever the stream's base, in one
  // insertion, so the stream's width, fill and adjustment apply to the whole
  // value; a large zero prints "0" whatever its flag.
  friend std::ostream& operator<<(std::ostream& os, arbitrary v);

 private:
  friend struct arbitrary_internals;

  // The form changes, with the contracts arbitrary_internals.h gives them.
  void setMagnitude32(uint32_t w);
  void promoteForAdd() {
    if (isSmall() && !smallrange::fitsAddGuard(smallValue)) promote();
  }
  void promoteForMul() {
    if (isSmall() && !smallrange::fitsMulWindow(smallValue)) promote();
  }
  void normalize();
  void promote();
  // The two limbs of the word w, low first: the magnitude setMagnitude32 gives it.
  struct WordLimbs {
    uint16_t limb[2];
  };
  static WordLimbs limbsOf(uint32_t w) noexcept {
    return {{static_cast<uint16_t>(w), static_cast<uint16_t>(w >> 16)}};
  }

  arbitrary& addIntSlow(int32_t a);
  arbitrary& subtractIntSlow(int32_t a);
  arbitrary& multiplyIntSlow(int32_t a);

  // Sign and three-way comparisons (-1, 0 or 1) by value.
  bool valueNonNegative() const noexcept;
  int compare(const arbitrary& b) const noexcept;
  int compare(int32_t w) const noexcept;

  // Magnitude arithmetic on a large-form object, over the loops of
  // magnitude.h; the sign is untouched unless noted. The limbs y[0..m) may be
  // this object's own, except for multiplyMagnitude.
  void addMagnitude(const uint16_t* y, size_t m);
  void subtractMagnitude(const uint16_t* y, size_t m);  // may flip the flag; normalizes
  void addWord(uint32_t w);
  void subtractWord(uint32_t w);  // may flip the flag; normalizes
  void addLimb(uint16_t d) {
    if (limbs.size() == limbs.capacity()) reserveCarryOfAddLimb(d);
    if (magnitude::addLimb(limbs.data(), limbs.size(), d) != 0) limbs.push_back(1);
  }
  void subtractLimb(uint16_t d);  // may flip the flag; normalizes
  void complementBorrowedDifference();
  void multiplyMagnitude(const uint16_t* y, size_t m);
  void multiplyWord(uint32_t w);
  void multiplyLimb(uint16_t m) {
    if (limbs.size() == limbs.capacity()) reserveCarryOfMultiplyLimb(m);
    const uint32_t carry = magnitude::multiplyByLimb(limbs.data(), limbs.size(), m);
    if (carry != 0) limbs.push_back(static_cast<uint16_t>(carry));
  }
  uint16_t shortDivide(uint16_t d);

  // Growth before writing, so that a failed allocation leaves the value as it
  // was. reserveLimbs makes room for n limbs (at least doubling the room when
  // it grows); the other two make room for the carry limb that adding d, or
  // multiplying by m, may append, before the loop writes a limb.
  void reserveLimbs(size_t n);
  void reserveCarryOfAddLimb(uint16_t d);
  void reserveCarryOfMultiplyLimb(uint16_t m);
  // Runs the steps of an operation on this value and returns it. Steps may
  // promote a small value or exchange its field before a later one fails to
  // grow the limbs; then the small value is put back as it was (no allocation)
  // and the failure passes on. A large value needs nothing: its loops grow
  // before they write.
  template <class Steps>
  arbitrary& keepingSmallOnFailure(Steps steps) {
    if (!isSmall()) return steps();
    const int32_t v = smallValue;
    const bool flag = nonNegative;
    try {
      return steps();
    } catch (...) {
      std::vector<uint16_t>().swap(limbs);
      smallValue = v;
      nonNegative = flag;
      throw;
    }
  }

  int32_t smallValue;
  std::vector<uint16_t> limbs;
  bool nonNegative;
};

#endif  // LONGSQRT_BIGINT_ARBITRARY_H
