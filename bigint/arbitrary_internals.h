// The one door to arbitrary's representation, for the library's own files, its
// tests and the fuzz model: the operations that write the fields directly.
// They keep the invariants of arbitrary.h only as their contracts say, so
// nothing else uses them.
#ifndef LONGSQRT_BIGINT_ARBITRARY_INTERNALS_H
#define LONGSQRT_BIGINT_ARBITRARY_INTERNALS_H

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "bigint/arbitrary.h"

struct arbitrary_internals {
  // Resizes x's limbs: growing appends zero limbs at the top (a small value
  // grown from no limbs becomes a non-negative large zero), shrinking drops the
  // top limbs (to none: the small form holding 0). A failed growth leaves x as
  // it was.
  static void resizeLimbs(arbitrary& x, size_t n) {
    const bool grownFromSmall = x.isSmall() && n > 0;
    x.limbs.resize(n);
    if (grownFromSmall) {
      x.smallValue = 0;
      x.nonNegative = true;
    }
  }
  // Returns limb i of x, writable. Precondition: i < x.limbCount().
  static uint16_t& limb(arbitrary& x, size_t i) noexcept {
    assert(i < x.limbs.size() && "limb index past the top limb");
    return x.limbs[i];
  }
  // Makes x the non-negative large form of w with exactly two limbs; a failed
  // growth leaves x as it was.
  static void setMagnitude32(arbitrary& x, uint32_t w) { x.setMagnitude32(w); }
  // Promotes a small x outside the addition guard to two limbs; else no change.
  static void promoteForAdd(arbitrary& x) { x.promoteForAdd(); }
  // Promotes a small x outside the multiplication window to two limbs; else no
  // change.
  static void promoteForMul(arbitrary& x) { x.promoteForMul(); }
  // Drops x's high zero limbs; one limb left returns x to the small form
  // (signed by the flag, which stays). No change to a small x.
  static void normalize(arbitrary& x) { x.normalize(); }
};

#endif  // LONGSQRT_BIGINT_ARBITRARY_INTERNALS_H
