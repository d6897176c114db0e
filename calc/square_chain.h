// The squares of a root's candidates, carried from place to place in decimal
// limbs: the judgements a run's log shows, formed in time linear in the
// number of digits, for the log reader's replay of a run.
#ifndef LONGSQRT_CALC_SQUARE_CHAIN_H
#define LONGSQRT_CALC_SQUARE_CHAIN_H

#include <cstdint>
#include <string>
#include <vector>

#include "calc/judges.h"

namespace calc {

// Judges candidates without squaring them: with r the root before a place and
// r^2 known from the place before, candidate n's square is (10r + n)^2 =
// 100 r^2 + 20 r n + n^2, each one the one before plus 20r + 2n - 1, and the
// accepted candidate's square is the next place's r^2. Every value is held in
// base 10^9, so its decimal text costs one pass. Gives what the judges of a
// run give, byte for byte, by another method: a log that a run wrote agrees
// with it, and one whose values a run did not compute does not.
class SquareChain final : public Judges {
 public:
  // Starts after place 0 of sqrt(no): the root floor(sqrt(no)). debug: the
  // judgements carry the text of their values. Precondition: no >= 0.
  SquareChain(int32_t no, bool debug);

  void beginPlace(const std::string& noScaled, const std::string& rootStr, bool another) override;
  const Judgement& judge(int32_t n, const std::string& rootStrNew) override;
  const Acceptance& accept(int32_t n, const Decision& d, const std::string& newRoot) override;

  // Returns floor(sqrt(no)). Precondition: no >= 0.
  static int32_t integerRoot(int32_t no);

 private:
  // A non-negative number in base 10^9, least significant limb first, without
  // high zero limbs (zero has none).
  using Limbs = std::vector<uint32_t>;

  bool debug_;
  Limbs scaled_;            // no * 100^k
  Limbs root_;              // r, the root before this place
  Limbs square_;            // r^2
  Limbs twentyRoot_;        // 20 r
  Limbs x_;                 // the square of the candidate judged last
  Limbs previous_;          // the square of the candidate before it
  std::string scaledText_;  // the decimal text of scaled_, for a traced log
  Judgement judgement_;
  Acceptance acceptance_;
};

}  // namespace calc

#endif  // LONGSQRT_CALC_SQUARE_CHAIN_H
