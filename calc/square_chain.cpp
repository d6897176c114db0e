// The log reader's judges: candidates' squares carried from place to place
// in decimal limbs, with the few operations that needs.
#include "calc/square_chain.h"

#include <cassert>
#include <cmath>

namespace calc {

namespace {

using Limbs = std::vector<uint32_t>;
constexpr uint32_t kBase = 1000000000;  // 10^9: nine decimal digits a limb

// Multiplies x by m in place.
void multiplySmall(Limbs& x, uint32_t m) {
  uint64_t carry = 0;
  for (uint32_t& limb : x) {
    carry += static_cast<uint64_t>(limb) * m;
    limb = static_cast<uint32_t>(carry % kBase);
    carry /= kBase;
  }
  for (; carry != 0; carry /= kBase) x.push_back(static_cast<uint32_t>(carry % kBase));
  if (m == 0) x.clear();
}

// Adds y times 1, plus small, to x in place.
void add(Limbs& x, const Limbs& y, uint64_t small) {
  if (x.size() < y.size()) x.resize(y.size(), 0);
  uint64_t carry = small;
  for (std::size_t i = 0; i < x.size() && (i < y.size() || carry != 0); ++i) {
    carry += x[i];
    if (i < y.size()) carry += y[i];
    x[i] = static_cast<uint32_t>(carry % kBase);
    carry /= kBase;
  }
  for (; carry != 0; carry /= kBase) x.push_back(static_cast<uint32_t>(carry % kBase));
}

// Returns -1, 0 or 1 as a is below, equal to or above b.
int compare(const Limbs& a, const Limbs& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

// Returns v as limbs.
Limbs fromValue(uint64_t v) {
  Limbs x;
  for (; v != 0; v /= kBase) x.push_back(static_cast<uint32_t>(v % kBase));
  return x;
}

// Sets text to the decimal text of x, as a value prints: no leading zero, "0" for zero.
void decimalText(const Limbs& x, std::string& text) {
  text.clear();
  if (x.empty()) {
    text = "0";
    return;
  }
  text = std::to_string(x.back());
  std::size_t at = text.size();
  text.resize(at + 9 * (x.size() - 1));
  for (std::size_t i = x.size() - 1; i-- > 0; at += 9) {
    uint32_t limb = x[i];
    for (std::size_t d = 9; d-- > 0; limb /= 10) text[at + d] = static_cast<char>('0' + limb % 10);
  }
}

}  // namespace

int32_t SquareChain::integerRoot(int32_t no) {
  assert(no >= 0 && "a radicand of 0 .. 2147483647");
  int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(no)));
  while (r * r > no) --r;
  while ((r + 1) * (r + 1) <= no) ++r;
  return static_cast<int32_t>(r);
}

SquareChain::SquareChain(int32_t no, bool debug)
    : debug_(debug), scaled_(fromValue(static_cast<uint64_t>(no))) {
  const int32_t root = integerRoot(no);
  root_ = fromValue(static_cast<uint64_t>(root));
  square_ = fromValue(static_cast<uint64_t>(root) * static_cast<uint64_t>(root));
}

void SquareChain::beginPlace(const std::string&, const std::string&, bool) {
  multiplySmall(scaled_, 100);
  twentyRoot_ = root_;
  multiplySmall(twentyRoot_, 20);
  if (debug_) decimalText(scaled_, scaledText_);
}

const Judgement& SquareChain::judge(int32_t n, const std::string&) {
  if (n == 0) {
    x_ = square_;
    multiplySmall(x_, 100);  // (10r)^2
  } else {
    previous_ = x_;
    add(x_, twentyRoot_, static_cast<uint64_t>(2 * n - 1));  // (10r + n)^2 = (10r + n - 1)^2 + 20r + 2n - 1
  }
  const int order = compare(x_, scaled_);
  judgement_.diff = order > 0 ? DiffSign::positive : order < 0 ? DiffSign::negative : DiffSign::zero;
  if (debug_) {
    judgement_.noScaledText = scaledText_;
    decimalText(x_, judgement_.xText);
  }
  return judgement_;
}

const Acceptance& SquareChain::accept(int32_t n, const Decision& d, const std::string&) {
  // The accepted digit is the candidate judged last (a limit, or 0 at n = 0)
  // or the one before it.
  square_ = d.digit == n ? x_ : previous_;
  multiplySmall(root_, 10);
  add(root_, Limbs(), static_cast<uint64_t>(d.digit));
  if (debug_ || d.how == Case::limit) {
    decimalText(scaled_, acceptance_.noScaledText);
    decimalText(square_, acceptance_.squareText);
  }
  return acceptance_;
}

}  // namespace calc
