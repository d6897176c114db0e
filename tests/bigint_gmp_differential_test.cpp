// Differential test of arbitrary against GMP: seeded random programs for the
// fuzz target's interpreter, built from boundary-heavy operands in both forms
// (window edges, runs of 0xFFFF limbs, high zero limbs, products of promoted
// factors, texts around the 8-byte switch), each operation checked by value,
// by printed text and by the form it must leave, on every path of the limb
// loops this processor runs. Long values (hundreds of digits, squared runs of
// 0xFFFF) reach the vector forms of the loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bigint/magnitude.h"
#include "fuzz/arbitrary_model.h"

namespace {

using namespace arbitrary_model;

constexpr int kPrograms = 3000;
constexpr int kMaxFailures = 5;

// Writes programs in the interpreter's encoding from a fixed seed.
class ProgramWriter {
 public:
  explicit ProgramWriter(uint64_t seed) : rng_(seed) {}

  // Returns the next program: fresh values, arithmetic, comparisons of
  // neighbours, division, printing and form changes, in random order; with
  // long values when asked (they cost the model the most time).
  std::vector<uint8_t> program(bool withLong) {
    withLong_ = withLong;
    bytes_.clear();
    for (ops_ = 0; ops_ < kMaxOperations - 8;) step();
    return bytes_;
  }

 private:
  uint32_t below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  int reg() { return static_cast<int>(below(kRegisters)); }

  void op(Opcode opcode, int target, int operand = 0) {
    bytes_.insert(bytes_.end(), {opcode, static_cast<uint8_t>(target | operand << 2)});
    ++ops_;
  }
  void byte(uint32_t b) { bytes_.push_back(static_cast<uint8_t>(b)); }
  void word16(uint32_t w) {
    bytes_.insert(bytes_.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)});
  }
  void word32(uint32_t w) {
    word16(w);
    word16(w >> 16);
  }
  void integer(int32_t v) {
    byte(0x80);
    word32(static_cast<uint32_t>(v));
  }
  void rawLimbs(int target, const std::vector<uint16_t>& limbs, bool negative) {
    op(kRawLimbs, target);
    byte(static_cast<uint32_t>(limbs.size() - 1));
    byte(negative);
    for (uint16_t limb : limbs) word16(limb);
  }
  // Writes v into the target in the small form or as two limbs, maybe with high zero limbs.
  void anyForm(int target, int32_t v) {
    if (below(2)) {
      op(kAssignInt, target);
      integer(v);
      return;
    }
    const uint32_t m = arbitrary::absWord(v);
    rawLimbs(target, {static_cast<uint16_t>(m), static_cast<uint16_t>(m >> 16)}, v < 0);
    if (below(2)) {
      op(kResize, target);
      byte(below(3));
    }
  }

  // Returns an integer within 2 of an interesting one (window ends, limb base, 32-bit ends), or of
  // random bit width.
  int32_t edgeInt() {
    int64_t v = kInterestingInts[below(std::size(kInterestingInts))] + int64_t{below(5)} - 2;
    if (below(2)) v = static_cast<int64_t>(rng_() >> (32 + below(32))) * (below(2) ? 1 : -1);
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
  }
  uint16_t limb() {
    static const uint16_t kLimbs[] = {0, 0, 1, 0xFFFF, 0xFFFF, 0x8000, 0x7FFF};
    return below(3) ? static_cast<uint16_t>(rng_()) : kLimbs[below(std::size(kLimbs))];
  }

  // Writes a value of a random kind into register r, using the next register as scratch.
  void value(int r, bool derived = true) {
    const int s = (r + 1) % kRegisters;
    switch (below(derived ? (withLong_ ? 7 : 6) : 3)) {
      case 0:
        anyForm(r, edgeInt());
        break;
      case 1: {  // up to 6 limbs, some runs of 0xFFFF, some high zero limbs
        std::vector<uint16_t> limbs(1 + below(6));
        const bool allOnes = below(8) == 0;
        for (auto& l : limbs) l = allOnes ? 0xFFFF : limb();
        for (size_t zeros = below(4) ? 0 : below(static_cast<uint32_t>(limbs.size())); zeros > 0; --zeros) {
          limbs[limbs.size() - zeros] = 0;
        }
        rawLimbs(r, limbs, below(2));
        break;
      }
      case 2:
        text(r);
        break;
      case 3:  // 32768 * 32768 and kin: products of promoted factors keep a zero top limb
        op(kAssignInt, r);
        integer(32768 + static_cast<int32_t>(below(4)));
        op(kAssignInt, s);
        integer(below(2) ? 32768 : -32769);
        op(kMultiply, r, s);
        break;
      case 4:  // long: hundreds of digits, or six limbs of 0xFFFF squared into 24 or 48
        if (below(2)) {
          text(r, true);
        } else {
          rawLimbs(r, std::vector<uint16_t>(6, 0xFFFF), below(2));
          for (uint32_t n = 2 + below(2); n > 0; --n) op(kMultiply, r, r);
        }
        break;
      default:  // the product or sum of two values
        value(r, false);
        value(s, false);
        op(below(2) ? kMultiply : kAdd, r, s);
        break;
    }
  }

  // Writes a text into register r: up to 12 bytes of blanks, a sign, digits
  // and other bytes, or a long text of digits and separators, sometimes a
  // number next to where the long path leaves the small form.
  void text(int r, bool huge = false) {
    std::string t;
    if (huge) {  // runs of 9 and of 0 give runs of equal limbs too
      for (uint32_t n = 150 + below(250); n > 0; --n) {
        t += below(4) ? static_cast<char>('0' + below(10)) : below(2) ? '9' : '0';
        if (below(8) == 0) t += std::string(below(40), t.back());
      }
      t.resize(std::min<size_t>(t.size(), 760));
      t.resize((t.size() + 7) / 8 * 8, 'a');
    } else if (below(2)) {
      static const char kJunk[] = " \t-+,.a\xA4\xFF";
      t.assign(below(3), ' ');
      if (below(3) == 0) t += below(2) ? '-' : '+';
      for (uint32_t n = below(10); n > 0; --n) t += static_cast<char>('0' + below(10));
      for (uint32_t n = below(3); n > 0; --n) t += kJunk[below(sizeof kJunk - 1)];
      t.resize(std::min<size_t>(t.size(), 12));
    } else {
      static const char kSeparators[] = ",. -+a\xA4\xFF";
      if (below(3) == 0) t += "-+ "[below(3)];
      if (below(3) == 0) {
        static const int kNear[] = {32767, 32768, 65535, 65536, 327679, 327680, 0};
        t += std::string(9, '0') + std::to_string(kNear[below(std::size(kNear))] + below(3));
      }
      for (uint32_t n = t.size() > 9 ? 0 : 9 + below(below(4) ? 20 : 80); n > 0; --n) {
        t += below(10) ? static_cast<char>('0' + below(10)) : kSeparators[below(sizeof kSeparators - 1)];
      }
      if (t.size() > 12)
        t.resize((t.size() + 7) / 8 * 8, 'a');  // long lengths step by 8; letters are skipped
    }
    op(kText, r);
    byte(static_cast<uint32_t>(t.size() <= 12 ? t.size() : 160 + t.size() / 8));
    for (char c : t) byte(static_cast<uint32_t>(std::string_view(kTextBytes).find(c)));
  }

  void step() {
    const int r = reg(), s = reg();
    const uint32_t kind = below(20);
    if (kind < 4) {
      value(r);
    } else if (kind < 9) {  // with another value, or with itself
      op(static_cast<Opcode>(kAdd + below(3)), r, below(8) == 0 ? r : s);
    } else if (kind < 13) {
      op(static_cast<Opcode>(kAddInt + below(3)), r);
      integer(edgeInt());
    } else if (kind < 15) {  // often two neighbours, in any forms, and an integer next to them
      const int32_t v = edgeInt();
      if (below(2) && r != s) {
        anyForm(r, v);
        anyForm(s, v == INT_MAX ? v : v + static_cast<int32_t>(below(2)));
      }
      op(kCompare, r, s);
      integer(v == INT_MIN ? v : v - static_cast<int32_t>(below(2)));
    } else if (kind < 17) {  // mostly 10, else any word with its edges
      static const uint32_t kDivisors[] = {1, 2, 10, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
      const uint32_t pick = below(4);
      op(kDivide, r);
      byte(0x80);
      word32(pick == 0   ? 10
             : pick == 1 ? kDivisors[below(std::size(kDivisors))]
             : pick == 2 ? 1 + below(0xFFFF)
                         : std::max<uint32_t>(1, static_cast<uint32_t>(rng_()) >> below(32)));
    } else if (kind < 19) {
      op(kPrint, r);
    } else {  // a form change or copy
      static const Opcode kOthers[] = {kCopy,       kMove,   kAssign,         kNegate,
                                       kFormChange, kResize, kSetMagnitude32, kMagnitudeLow32};
      const Opcode opcode = kOthers[below(std::size(kOthers))];
      op(opcode, r, s);
      if (opcode == kFormChange || opcode == kResize) byte(below(256));
      if (opcode == kSetMagnitude32) word32(static_cast<uint32_t>(rng_()));
    }
  }

  std::mt19937_64 rng_;
  bool withLong_ = false;
  std::vector<uint8_t> bytes_;
  int ops_ = 0;
};

TEST(BigintGmpDifferential, SeededProgramsAgreeWithTheModel) {
  ProgramWriter writer(0x5EED0001);
  const magnitude::Path active = magnitude::activePath();
  int failures = 0;
  for (int i = 0; i < kPrograms && failures < kMaxFailures; ++i) {
    const std::vector<uint8_t> program = writer.program(i % 4 == 0);
    for (magnitude::Path path : magnitude::supportedPaths()) {
      magnitude::usePath(path);
      const std::string mismatch = Machine().run(program.data(), program.size());
      if (mismatch.empty()) continue;
      std::string hex;  // xxd -r -p turns it back into a file for fuzz/corpus
      for (uint8_t b : program) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
      }
      ADD_FAILURE() << "program " << i << " on the " << magnitude::pathName(path) << " path: " << mismatch
                    << "\n  program bytes: " << hex;
      ++failures;
    }
  }
  magnitude::usePath(active);
}

}  // namespace
