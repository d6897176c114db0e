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
// The guards decide when a small value is promoted: `promoteForAdd` keeps
// -1073741823 .. 1073741822 small, `promoteForMul` keeps -32768 .. 32767.
#ifndef LONGSQRT_BIGINT_ARBITRARY_H
#define LONGSQRT_BIGINT_ARBITRARY_H

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "bigint/wide.h"

class arbitrary {
 public:
  // --- Construction, assignment, form changes -------------------------------

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
  // Assigns the small form v; empties the limbs and keeps the sign flag.
  arbitrary& operator=(int32_t v) noexcept {
    smallValue = v;
    if (!limbs.empty()) limbs.clear();
    return *this;
  }
  ~arbitrary() = default;

  // Negates in place: the small value by two's complement (-2147483648 becomes
  // the large 2147483648), a large value by flipping its flag.
  arbitrary& negate();
  // Returns the number of limbs: 0 in the small form.
  size_t limbCount() const noexcept { return limbs.size(); }
  // Returns limb i. Precondition: i < limbCount().
  uint16_t& limb(size_t i) noexcept;
  // Returns limb i. Precondition: i < limbCount().
  uint16_t limb(size_t i) const noexcept;
  // Resizes the limbs: growing appends zero limbs at the top (a small value
  // grown from no limbs becomes a non-negative large zero), shrinking drops the
  // top limbs (to none: the small form holding 0).
  void resizeLimbs(size_t n);
  // Makes the non-negative large form of w with exactly two limbs.
  void setMagnitude32(uint32_t w);
  // Promotes a small value outside -1073741823 .. 1073741822; else no change.
  void promoteForAdd() {
    if (limbs.empty() && (smallValue >= 0x3FFFFFFF || smallValue <= -0x40000000)) promote();
  }
  // Promotes a small value outside -32768 .. 32767; else no change.
  void promoteForMul() {
    if (limbs.empty() && (smallValue > 0x7FFF || smallValue < -0x8000)) promote();
  }
  // Drops high zero limbs; one limb left returns the value to the small form
  // (signed by the flag, which stays). No change to a small value.
  void normalize();
  // Returns the magnitude's low 32 bits: |smallValue|, or limb 1:limb 0.
  uint32_t magnitudeLow32() const noexcept;
  // Returns |v| as an unsigned word: -2147483648 gives 0x80000000.
  static uint32_t absWord(int32_t v) noexcept {
    return v > 0 ? static_cast<uint32_t>(v) : 0u - static_cast<uint32_t>(v);
  }

  // --- Read access to the representation -------------------------------------

  // Returns true in the small form (no limbs).
  bool isSmall() const noexcept { return limbs.empty(); }
  // Returns the small-form field (0 in the large form).
  int32_t smallPart() const noexcept { return smallValue; }
  // Returns the sign flag (meaningful in the large form only).
  bool nonNegativeFlag() const noexcept { return nonNegative; }

  // --- Addition and subtraction ----------------------------------------------
  // The right operand goes through promoteForAdd (its form may change, its
  // value never does); x += x and x -= x work.

  // Adds other to this value.
  arbitrary& operator+=(arbitrary& other);
  // Subtracts other from this value.
  arbitrary& operator-=(arbitrary& other);
  // Adds the machine integer a.
  arbitrary& operator+=(int32_t a) {
    if (limbs.empty()) {
      if (smallValue < 0x3FFFFFFF && smallValue > -0x40000000 && a <= 0x3FFFFFFF && a >= -0x40000000) {
        smallValue += a;
        return *this;
      }
    } else if (nonNegative && a >= 0 && a <= 0xFFFF) {
      addLimb(static_cast<uint16_t>(a));  // a digit added to a non-negative large value
      return *this;
    }
    return addIntSlow(a);
  }
  // Subtracts the machine integer a.
  arbitrary& operator-=(int32_t a) {
    if (limbs.empty() && smallValue < 0x3FFFFFFF && smallValue > -0x40000000 && a <= 0x3FFFFFFF &&
        a >= -0x40000000) {
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
    if (limbs.empty()) {
      if (smallValue <= 0x7FFF && smallValue >= -0x8000 && a <= 0x7FFF && a >= -0x8000) {
        smallValue *= a;  // both inside the window: |product| <= 0x40000000
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
  bool operator>(const arbitrary& b) const noexcept;
  // Returns true when this value is greater than w.
  bool operator>(int32_t w) const noexcept;
  // Returns true when this value is less than w.
  bool operator<(int32_t w) const noexcept;
  // Returns true when this value equals w.
  bool operator==(int32_t w) const noexcept;

  // --- Division and decimal output -------------------------------------------

  // Divides in place by d, truncating toward zero, and returns the remainder
  // of the magnitude (0 .. d-1); the flag is never changed. A value of at most
  // two limbs ends in the small form unless its signed quotient does not fit
  // 32 bits (only d == 1 on a large 2147483648 .. 4294967295, left as it is).
  // Precondition: d != 0.
  uint32_t divideByWord(uint32_t d);
  // Writes v as signed decimal text; a large zero prints "0" whatever its flag.
  friend std::ostream& operator<<(std::ostream& os, arbitrary v);

 private:
  void promote();
  arbitrary& addIntSlow(int32_t a);
  arbitrary& subtractIntSlow(int32_t a);
  arbitrary& multiplyIntSlow(int32_t a);

  // Magnitude tests; operands are large-form values.
  bool magnitudeGreater(const arbitrary& b) const noexcept;
  bool magnitudeLess(const arbitrary& b) const noexcept;
  bool magnitudeGreaterWord(uint32_t m) const noexcept;
  bool magnitudeLessWord(uint32_t m) const noexcept;
  bool magnitudeEqualsWord(uint32_t m) const noexcept;
  size_t significantLength() const noexcept;

  // Magnitude arithmetic on a large-form object; signs untouched unless noted.
  void addMagnitude(const arbitrary& other);
  void subtractMagnitude(const arbitrary& other);  // may flip the flag; normalizes
  void addWord(uint32_t w);
  void subtractWord(uint32_t w);
  void addLimb(uint16_t d) {
    // The low limbs decide most additions; a carry out of them runs on. Four
    // limbs move as one word, as the multiply pass that usually follows reads
    // them, so that pass finds the word it needs whole.
    if (limbs.size() >= 4) {
      const uint64_t low = wide::load4(limbs.data());
      const uint64_t sum = low + d;
      wide::store4(limbs.data(), sum);
      if (sum < low) carryFrom(4);
    } else {
      const uint32_t first = static_cast<uint32_t>(limbs[0]) + d;
      limbs[0] = static_cast<uint16_t>(first);
      if (first > 0xFFFFu) carryFrom(1);
    }
  }
  void carryFrom(size_t i);       // adds 1 at limb i, appending a limb if it runs out
  void subtractLimb(uint16_t d);  // may flip the flag; normalizes
  void complementBorrowedDifference();
  void multiplyMagnitude(const arbitrary& other);
  void multiplyWord(uint32_t w);
  void multiplyLimb(uint16_t m) {
    const uint32_t carry = multiplyLimbs(limbs.data(), limbs.size(), m);
    if (carry != 0) limbs.push_back(static_cast<uint16_t>(carry));
  }
  static uint32_t multiplyLimbs(uint16_t* p, size_t n, uint16_t m);  // returns the carry out
  uint16_t shortDivide(uint16_t d);

  int32_t smallValue;
  std::vector<uint16_t> limbs;
  bool nonNegative;
};

#endif  // LONGSQRT_BIGINT_ARBITRARY_H
