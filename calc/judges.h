// The sources of judgements the digit loop asks: what each candidate of a
// place shows, and the values a place's decision shows.
#ifndef LONGSQRT_CALC_JUDGES_H
#define LONGSQRT_CALC_JUDGES_H

#include <cstdint>
#include <string>

#include "calc/digit_rule.h"

namespace calc {

// What judging one candidate showed, with the decimal text of its noScaled
// value and square when the judges were made for a traced log.
struct Judgement {
  DiffSign diff = DiffSign::zero;
  std::string noScaledText;
  std::string xText;
};

// What accepting a place's digit made: the decimal text of the noScaled value
// and of the square of the new root, when the log shows them (a limit, or
// any decision of a traced log).
struct Acceptance {
  std::string noScaledText;
  std::string squareText;
};

// A source of judgements: decides what each candidate of a place shows and
// makes the values a decision shows. The loop asks for the candidates of a
// place in increasing order, from 0 to the one that decides it, then for its
// acceptance, then goes on with the next place. A judgement or acceptance
// stays valid until the next call.
class Judges {
 public:
  virtual ~Judges() = default;
  // Begins a place: noScaled is no * 100^k, rootStr the root before it;
  // another: a place follows this one.
  virtual void beginPlace(const std::string& noScaled, const std::string& rootStr, bool another) = 0;
  // Judges candidate n, whose root text is rootStrNew (rootStr and n).
  virtual const Judgement& judge(int32_t n, const std::string& rootStrNew) = 0;
  // Accepts d, reached at candidate n: newRoot is the root with its digit.
  virtual const Acceptance& accept(int32_t n, const Decision& d, const std::string& newRoot) = 0;
};

}  // namespace calc

#endif  // LONGSQRT_CALC_JUDGES_H
