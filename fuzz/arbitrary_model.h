// The GMP model of arbitrary and the interpreter that checks one against the
// other, shared by the fuzz target (fed by libFuzzer or the corpus) and the
// seeded differential test (fed generated programs).
//
// A program is a byte string decoded into operations on four registers. Each
// operation starts with an opcode byte and a register byte (target in bits
// 0-1, operand in bits 2-3), followed by the operands it needs (machine
// integers, divisors, texts, limbs). A missing byte reads as 0, so every byte
// string decodes to some program. Every operation runs on arbitrary and on
// GMP side by side; the first disagreement in value, printed text, or a form
// rule the header promises ends the run with a report that describes the
// operands.
#ifndef LONGSQRT_FUZZ_ARBITRARY_MODEL_H
#define LONGSQRT_FUZZ_ARBITRARY_MODEL_H

#include <gmpxx.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bigint/arbitrary.h"
#include "bigint/arbitrary_internals.h"
#include "bigint/small_ranges.h"

namespace arbitrary_model {

// The operations, in opcode order (an opcode byte is taken modulo kOpcodes).
enum Opcode : uint8_t {
  kText,            // text:    target = arbitrary(text)
  kCopy,            //          target = copy of operand, plus 1 (the copy changed, not the original)
  kMove,            //          target = value moved out of operand (left small 0)
  kAssign,          //          target = operand
  kAssignInt,       // int:     target = int
  kAdd,             //          target += operand
  kSubtract,        //          target -= operand
  kMultiply,        //          target *= operand
  kAddInt,          // int:     target += int
  kSubtractInt,     // int:     target -= int
  kMultiplyInt,     // int:     target *= int
  kCompare,         // int:     target > operand, operand > target, target >, < and == int
  kDivide,          // divisor: target.divideByWord(divisor)
  kPrint,           //          os << target
  kNegate,          //          target.negate()
  kFormChange,      // byte:    promoteForAdd, promoteForMul or normalize (byte % 3)
  kRawLimbs,        // count byte, sign byte, limbs: target = large form with those limbs
  kResize,          // byte:    grow a large target by 1..3 zero limbs, or shrink it (bit 7); small: none
  kSetMagnitude32,  // 4 bytes: setMagnitude32(target, word)
  kMagnitudeLow32,  //          target.magnitudeLow32()
  kOpcodes
};

constexpr int kRegisters = 4;
constexpr int kMaxOperations = 64;
// Products and texts stay below this many limbs, so one program runs in
// milliseconds whatever its bytes.
constexpr size_t kMaxLimbs = 1024;

// Machine integers worth hitting often: the ends of the windows of
// small_ranges.h and one past them, the limb base, the ends of the 32-bit range,
// the largest long text that ends small (327679) and the largest square root
// of a 32-bit value (46340). A byte below 0x80 picks one (modulo the count);
// the order is part of the encoding.
constexpr int32_t kInterestingInts[] = {
    0,           1,           -1,         2,          -2,
    9,           10,          -10,        0x7FFF,     0x8000,
    -0x8000,     -0x8001,     0xFFFF,     0x10000,    -0xFFFF,
    -0x10000,    0x3FFFFFFE,  0x3FFFFFFF, 0x40000000, -0x3FFFFFFF,
    -0x40000000, -0x40000001, INT32_MAX,  INT32_MIN,  INT32_MIN + 1,
    100000,      -100000,     327679,     327680,     46340,
    46341,       2147395600,
};

// Divisors: the one the program uses, small ones, the limb boundary and words
// wider than a limb. The order is part of the encoding.
constexpr uint32_t kInterestingDivisors[] = {
    10,    2,     3,     7,     1,     9,     16,     255,         256,         1000,
    10000, 32768, 65535, 65534, 65536, 65537, 100000, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};

// Bytes a text is drawn from (a byte modulo the count): mostly digits, then
// what the two text paths treat differently (signs, white space, separators,
// letters, high bytes).
constexpr char kTextBytes[] =
    "01234567890123456789012345678901234567890123456789"
    "-+ \t\n\v\f\r,.a/:\x80\xA4\xFF";
constexpr size_t kTextByteCount = sizeof kTextBytes - 1;

// Reads a program front to back; past the end every byte is 0.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool atEnd() const { return pos_ >= size_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t word16() {
    const uint16_t lo = byte();
    return static_cast<uint16_t>(lo | (byte() << 8));
  }
  uint32_t word32() {
    const uint32_t lo = word16();
    return lo | (static_cast<uint32_t>(word16()) << 16);
  }
  // A machine integer: a table entry, or four raw bytes when the top bit is set.
  int32_t machineInt() {
    const uint8_t s = byte();
    if (s & 0x80) return static_cast<int32_t>(word32());
    return kInterestingInts[s % std::size(kInterestingInts)];
  }
  // A divisor other than 0: a table entry, or a raw word (two bytes when bit
  // 6 is set too; 0 reads as 10).
  uint32_t divisor() {
    const uint8_t s = byte();
    if (s & 0x80) {
      const uint32_t d = (s & 0x40) ? word16() : word32();
      return d == 0 ? 10 : d;
    }
    return kInterestingDivisors[s % std::size(kInterestingDivisors)];
  }
  // A text without zero bytes: a length byte below 160 gives up to 12 bytes
  // around the 8-byte path switch, a larger one (s - 160) * 8 bytes, up to 760.
  std::string text() {
    const uint8_t s = byte();
    const size_t length = s < 160 ? s % 13 : static_cast<size_t>(s - 160) * 8;
    std::string t;
    for (size_t i = 0; i < length && !atEnd(); ++i) t.push_back(kTextBytes[byte() % kTextByteCount]);
    return t;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// --- The model ------------------------------------------------------------------

// Returns the value the fields of x denote, read from the representation alone.
inline mpz_class valueOf(const arbitrary& x) {
  if (x.isSmall()) return mpz_class(static_cast<long>(x.smallPart()));
  std::vector<uint16_t> limbs(x.limbCount());
  for (size_t i = 0; i < limbs.size(); ++i) limbs[i] = x.limb(i);
  mpz_class m;
  mpz_import(m.get_mpz_t(), limbs.size(), -1, sizeof(uint16_t), 0, 0, limbs.data());
  return x.nonNegativeFlag() ? m : mpz_class(-m);
}

// Returns the value a text denotes: up to 8 bytes as the C library reads an
// integer (blanks, one sign, digits up to the first other byte), longer texts
// digit by digit, negative only when the first byte is '-'.
inline mpz_class textValue(const std::string& t) {
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  mpz_class v = 0;
  size_t i = 0;
  if (t.size() <= 8) {
    while (i < t.size() && (t[i] == ' ' || (t[i] >= '\t' && t[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    for (; i < t.size() && isDigit(t[i]); ++i) v = v * 10 + (t[i] - '0');
    return negative ? mpz_class(-v) : v;
  }
  for (char c : t) {
    if (isDigit(c)) v = v * 10 + (c - '0');
  }
  return t[0] == '-' ? mpz_class(-v) : v;
}

// Describes x's form, limbs and flag, e.g. "large [0005 0001] = -65541 (flag -)".
inline std::string describe(const arbitrary& x) {
  std::string s = x.isSmall() ? "small " + std::to_string(x.smallPart()) : "large [";
  for (size_t i = 0; i < x.limbCount(); ++i) {  // without snprintf: long values are described often
    if (i) s += ' ';
    for (int shift = 12; shift >= 0; shift -= 4) s += "0123456789ABCDEF"[(x.limb(i) >> shift) & 15];
  }
  if (!x.isSmall()) s += "] = " + valueOf(x).get_str();
  s += x.nonNegativeFlag() ? " (flag +)" : " (flag -)";
  return s;
}

// --- Form rules -----------------------------------------------------------------
// Each returns what is wrong with a result, or "" when nothing is.

// What normalize leaves: one limb returns to the small form, more keep a
// non-zero top limb.
inline std::string wrongNormalForm(const arbitrary& x) {
  if (x.isSmall())
    return arbitrary::absWord(x.smallPart()) <= 0xFFFF ? "" : "normalize leaves no small value above 65535";
  if (x.limbCount() < 2 || x.limb(x.limbCount() - 1) == 0) return "should be normalized";
  return "";
}

// A magnitude addition or product: large, flagged `flag`, with `limbs` limbs,
// plus one only when the magnitude needs it.
inline std::string wrongGrowth(const arbitrary& x, size_t limbs, bool flag) {
  if (x.isSmall()) return "should stay in the large form";
  if (x.nonNegativeFlag() != flag) return std::string("sign flag should be ") + (flag ? "+" : "-");
  const size_t bits = mpz_sizeinbase(valueOf(x).get_mpz_t(), 2);
  const size_t want = bits > 16 * limbs ? limbs + 1 : limbs;
  return x.limbCount() == want ? "" : "should keep " + std::to_string(want) + " limbs";
}

// What an operand of +=, -= or *= brings to the magnitude loops.
struct Operand {
  bool stays;    // small, and inside the guard (or the integer argument's window)
  size_t limbs;  // its limbs there
  bool sign;     // the sign that picks the magnitude routine
};

// Returns what the value x brings as an operand of a product (mul) or a sum.
inline Operand operandOf(const arbitrary& x, bool mul) {
  if (!x.isSmall()) return {false, x.limbCount(), x.nonNegativeFlag()};
  const int32_t v = x.smallPart();
  const bool stays = mul ? smallrange::fitsMulWindow(v) : smallrange::fitsAddGuard(v);
  // A promoted value has two limbs; a small one goes in as a word, or as a
  // limb into a product.
  const size_t limbs = !stays || (!mul && arbitrary::absWord(v) > 0xFFFF) ? 2 : 1;
  return {stays, limbs, v >= 0};
}

// Returns what the machine integer w brings after the left operand a: one
// outside the window is exchanged with a small a, promoted, and has two limbs.
inline Operand operandOf(int32_t w, const Operand& a, bool mul) {
  const bool stays = mul ? smallrange::fitsMulWindow(w) : smallrange::fitsAddArgument(w);
  const size_t limbs = (a.stays && !stays) || arbitrary::absWord(w) > 0xFFFF ? 2 : 1;
  return {stays, limbs, w >= 0};
}

// The form a (op)= b must leave in r, where op is '+', '-' or '*': small
// when both stay small, a magnitude sum or product keeps its operands' limbs,
// a magnitude difference is normalized.
inline std::string wrongForm(const arbitrary& r, const Operand& a, char op, const Operand& b) {
  if (a.stays && b.stays) return r.isSmall() ? "" : "should stay in the small form";
  if (op == '*') return wrongGrowth(r, a.limbs + b.limbs - 1, a.sign == b.sign);
  if ((a.sign == b.sign) == (op == '+')) return wrongGrowth(r, std::max(a.limbs, b.limbs), a.sign);
  return wrongNormalForm(r);
}

// --- The interpreter ------------------------------------------------------------

class Machine {
 public:
  // Runs the program in data[0..size) and returns "" or the first mismatch.
  // ARBITRARY_FUZZ_TRACE=1 prints every decoded operation and the registers.
  std::string run(const uint8_t* data, size_t size) {
    Reader in(data, size);
    const bool trace = std::getenv("ARBITRARY_FUZZ_TRACE") != nullptr;
    try {
      for (step_ = 0; step_ < kMaxOperations && !in.atEnd(); ++step_) {
        const uint8_t opcode = in.byte();
        const uint8_t regs = in.byte();
        execute(static_cast<Opcode>(opcode % kOpcodes), regs & 3, (regs >> 2) & 3, in);
        for (int r = 0; r < kRegisters; ++r) {
          const arbitrary& x = reg_[r];
          if (!x.isSmall() && x.smallPart() != 0)
            fail("register " + std::to_string(r) + " large with a small field: " + describe(x));
          checkValue(x, model_[r], "register " + std::to_string(r));
        }
        if (trace) {
          std::fprintf(stderr, "step %d: %s on %d, %d\n", step_, op_.c_str(), regs & 3, (regs >> 2) & 3);
          for (int r = 0; r < kRegisters; ++r)
            std::fprintf(stderr, "  r%d = %s\n", r, describe(reg_[r]).c_str());
        }
      }
    } catch (const Mismatch& m) {
      return m.what;
    }
    return "";
  }

 private:
  struct Mismatch {
    std::string what;
  };

  [[noreturn]] void fail(const std::string& detail) const {
    throw Mismatch{"step " + std::to_string(step_) + " (" + op_ + "): " + detail};
  }
  void check(const std::string& problem, const std::string& context) const {
    if (!problem.empty()) fail(context + ": " + problem);
  }
  void checkValue(const arbitrary& x, const mpz_class& want, const std::string& context) const {
    if (valueOf(x) != want) fail(context + ": got " + describe(x) + ", want " + want.get_str());
  }

  void execute(Opcode opcode, int a, int b, Reader& in) {
    arbitrary& x = reg_[a];
    arbitrary& y = reg_[b];
    switch (opcode) {
      case kText: {
        op_ = "construct from text";
        const std::string t = in.text();
        const arbitrary fresh(t.c_str());
        const mpz_class v = textValue(t);
        const std::string context = "\"" + t + "\" gave " + describe(fresh);
        checkValue(fresh, v, context);
        // Short texts land in the small form, long ones up to 327679 too;
        // larger ones carry no high zero limb and the flag of their sign.
        const bool wantSmall = t.size() <= 8 || abs(v) <= 327679;
        if (fresh.isSmall() != wantSmall) fail(context + ": should be " + (wantSmall ? "small" : "large"));
        if (fresh.nonNegativeFlag() != (wantSmall || v > 0)) fail(context + ": wrong sign flag");
        if (!wantSmall) check(wrongNormalForm(fresh), context);
        x = fresh;
        model_[a] = v;
        break;
      }
      case kCopy: {
        op_ = "copy construction";
        arbitrary copy(y);
        checkValue(copy, model_[b], "copy");
        copy += 1;  // the copy owns its limbs: the original must not change
        checkValue(y, model_[b], "original after changing the copy");
        x = copy;
        model_[a] = model_[b] + 1;
        break;
      }
      case kMove: {
        op_ = "move construction";
        arbitrary moved(std::move(y));
        const mpz_class v = model_[b];
        if (!y.isSmall() || y.smallPart() != 0) fail("moved-from value: " + describe(y));
        model_[b] = 0;
        checkValue(moved, v, "moved value");
        x = moved;
        model_[a] = v;
        break;
      }
      case kAssign: {
        op_ = "assignment";
        const bool flag = x.nonNegativeFlag();
        const std::string source = describe(y);
        x = y;
        model_[a] = model_[b];
        // A small source keeps the target's flag; a large one is copied whole.
        if (y.isSmall() ? x.nonNegativeFlag() != flag : describe(x) != source)
          fail(source + " gave " + describe(x));
        break;
      }
      case kAssignInt: {
        op_ = "assignment of a machine integer";
        const bool flag = x.nonNegativeFlag();
        const int32_t w = in.machineInt();
        x = w;
        model_[a] = w;
        if (!x.isSmall() || x.nonNegativeFlag() != flag) fail("gave " + describe(x));
        break;
      }
      case kAdd:
      case kSubtract:
      case kMultiply:
      case kAddInt:
      case kSubtractInt:
      case kMultiplyInt: {
        const bool withInt = opcode >= kAddInt;
        const char op = "+-*"[(opcode - kAdd) % 3];
        op_ = std::string(1, op) + (withInt ? "= machine integer" : "= arbitrary");
        const int32_t w = withInt ? in.machineInt() : 0;
        if (op == '*' && x.limbCount() + (withInt ? 2 : y.limbCount()) > kMaxLimbs) break;
        const arbitrary a0 = x, b0 = y;
        const mpz_class u = model_[a], v = withInt ? mpz_class(w) : model_[b];
        const Operand left = operandOf(a0, op == '*');
        const Operand right = withInt ? operandOf(w, left, op == '*') : operandOf(b0, op == '*');
        const std::string context = describe(a0) + " " + op + "= " +
                                    (withInt  ? std::to_string(w)
                                     : a == b ? "itself"
                                              : describe(b0));
        if (withInt) {
          op == '+' ? x += w : op == '-' ? x -= w : x *= w;
        } else {
          op == '+' ? x += y : op == '-' ? x -= y : x *= y;
        }
        model_[a] = op == '+' ? mpz_class(u + v) : op == '-' ? mpz_class(u - v) : mpz_class(u * v);
        checkValue(x, model_[a], context);
        check(wrongForm(x, left, op, right), context + " gave " + describe(x));
        // Another value as the right operand keeps its value (checked with the
        // registers) and its form, unless its guard promotes it to two limbs.
        const bool promoted = b0.isSmall() && !right.stays;
        if (!withInt && a != b &&
            (promoted ? y.isSmall() || y.limbCount() != 2 || y.nonNegativeFlag() != right.sign
                      : describe(y) != describe(b0))) {
          fail(context + ": the right operand became " + describe(y));
        }
        break;
      }
      case kCompare: {
        op_ = "comparison";
        const int32_t w = in.machineInt();
        const std::string before =
            "x = " + describe(x) + ", y = " + describe(y) + ", w = " + std::to_string(w);
        const int xy = cmp(model_[a], model_[b]), xw = cmp(model_[a], w);
        if ((x > y) != (xy > 0) || (y > x) != (xy < 0)) fail(before + ": x > y or y > x wrong");
        if ((x > w) != (xw > 0) || (x < w) != (xw < 0) || (x == w) != (xw == 0))
          fail(before + ": x against w wrong");
        if ("x = " + describe(x) + ", y = " + describe(y) + ", w = " + std::to_string(w) != before) {
          fail(before + ": an operand changed");
        }
        break;
      }
      case kDivide: {
        op_ = "divideByWord";
        const uint32_t d = in.divisor();
        const arbitrary x0 = x;
        const uint32_t r = x.divideByWord(d);
        mpz_class q;
        mpz_tdiv_q_ui(q.get_mpz_t(), model_[a].get_mpz_t(), d);
        const mpz_class wantR = abs(model_[a]) % d;
        const std::string context =
            describe(x0) + " / " + std::to_string(d) + " gave " + describe(x) + " rem " + std::to_string(r);
        if (mpz_class(r) != wantR) fail(context + ": remainder should be " + wantR.get_str());
        model_[a] = q;
        checkValue(x, q, context);
        if (x.nonNegativeFlag() != x0.nonNegativeFlag()) fail(context + ": the sign flag changed");
        if (x0.limbCount() > 2) {
          check(wrongNormalForm(x), context);
        } else if (q >= INT32_MIN && q <= INT32_MAX ? !x.isSmall() : describe(x) != describe(x0)) {
          fail(context + ": up to two limbs end small, unless the quotient does not fit");
        }
        break;
      }
      case kPrint: {
        op_ = "printing";
        std::ostringstream os;
        os << x;
        if (os.str() != model_[a].get_str())
          fail(describe(x) + " printed \"" + os.str() + "\", want " + model_[a].get_str());
        break;
      }
      case kNegate: {
        op_ = "negate";
        const arbitrary x0 = x;
        x.negate();
        model_[a] = -model_[a];
        // A large value flips its flag and keeps its limbs (checked with the value).
        if (!x0.isSmall() &&
            (x.limbCount() != x0.limbCount() || x.nonNegativeFlag() == x0.nonNegativeFlag())) {
          fail(describe(x0) + " gave " + describe(x));
        }
        break;
      }
      case kFormChange: {
        const uint8_t which = in.byte() % 3;
        const arbitrary x0 = x;
        op_ = which == 0 ? "promoteForAdd" : which == 1 ? "promoteForMul" : "normalize";
        which == 0   ? arbitrary_internals::promoteForAdd(x)
        : which == 1 ? arbitrary_internals::promoteForMul(x)
                     : arbitrary_internals::normalize(x);
        const std::string context = describe(x0) + " gave " + describe(x);
        if (which == 2) {
          if (!x0.isSmall()) check(wrongNormalForm(x), context);
          if (x.nonNegativeFlag() != x0.nonNegativeFlag()) fail(context + ": the flag changed");
        } else if (x0.isSmall()) {
          const int32_t v = x0.smallPart();
          const bool stays = which == 0 ? smallrange::fitsAddGuard(v) : smallrange::fitsMulWindow(v);
          if (stays ? describe(x) != describe(x0) : x.limbCount() != 2 || x.nonNegativeFlag() != (v >= 0))
            fail(context);
        } else if (describe(x) != describe(x0)) {
          fail(context + ": a large value is left alone");
        }
        break;
      }
      case kRawLimbs: {
        op_ = "large value from limbs";
        const size_t n = 1 + in.byte() % 6;
        const bool negative = in.byte() & 1;
        arbitrary v;
        arbitrary_internals::resizeLimbs(v, n);
        mpz_class m = 0;
        for (size_t i = 0; i < n; ++i) {
          arbitrary_internals::limb(v, i) = in.word16();
          m += mpz_class(v.limb(i)) << static_cast<mp_bitcnt_t>(16 * i);
        }
        if (negative) v.negate();
        x = v;
        model_[a] = negative ? mpz_class(-m) : m;
        break;
      }
      case kResize: {
        op_ = "resizeLimbs";
        const uint8_t s = in.byte();  // read whatever the target, so the next operation stays in frame
        if (x.isSmall()) break;       // growing a small value is a form change, not arithmetic
        const size_t n = x.limbCount();
        if (s & 0x80) {
          // Shrinking drops the top limbs: the magnitude keeps its low limbs.
          const size_t keep = s % (n + 1);
          arbitrary_internals::resizeLimbs(x, keep);
          mpz_class m = abs(model_[a]);
          mpz_fdiv_r_2exp(m.get_mpz_t(), m.get_mpz_t(), static_cast<mp_bitcnt_t>(16 * keep));
          model_[a] = model_[a] < 0 ? mpz_class(-m) : m;
        } else if (n + 3 <= kMaxLimbs) {
          arbitrary_internals::resizeLimbs(x, n + 1 + s % 3);  // high zero limbs: the value stays
        }
        break;
      }
      case kSetMagnitude32: {
        op_ = "setMagnitude32";
        const uint32_t w = in.word32();
        arbitrary_internals::setMagnitude32(x, w);
        model_[a] = w;
        if (x.limbCount() != 2 || !x.nonNegativeFlag()) fail(describe(x));
        break;
      }
      default: {
        op_ = "magnitudeLow32";
        mpz_class m = abs(model_[a]);
        mpz_fdiv_r_2exp(m.get_mpz_t(), m.get_mpz_t(), 32);
        if (mpz_class(x.magnitudeLow32()) != m)
          fail(describe(x) + " gave " + std::to_string(x.magnitudeLow32()));
        break;
      }
    }
  }

  arbitrary reg_[kRegisters];
  mpz_class model_[kRegisters];
  int step_ = 0;
  std::string op_;
};

}  // namespace arbitrary_model

#endif  // LONGSQRT_FUZZ_ARBITRARY_MODEL_H
