// Differential fuzz target for arbitrary. The input is decoded into a short
// program of operations on a few registers; every operation runs on arbitrary
// and on GMP side by side, and the first disagreement in value, in a form rule
// the header promises, or in a representation invariant aborts with a report.
//
// Encoding: each operation starts with an opcode byte and a register byte
// (target in bits 0-1, operand in bits 2-3), followed by the operands it needs
// (machine integers, divisors, texts, limbs). A missing byte reads as 0, so
// every input decodes to some program.
#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>

#include "bigint/arbitrary.h"

namespace {

constexpr int kRegisters = 4;
constexpr int kMaxOperations = 64;
// Products and texts stay below this many limbs, so one input runs in
// milliseconds whatever the fuzzer feeds it.
constexpr size_t kMaxLimbs = 1024;

// Machine integers worth hitting often: the guard bounds and argument windows,
// the limb base and the ends of the 32-bit range.
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
// wider than a limb.
constexpr uint32_t kInterestingDivisors[] = {
    10,    2,     3,     7,     1,     9,     16,     255,         256,         1000,
    10000, 32768, 65535, 65534, 65536, 65537, 100000, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu,
};

// Bytes a text is drawn from: mostly digits, then what the two text paths
// treat differently (signs, white space, separators, letters, high bytes).
constexpr char kTextBytes[] =
    "01234567890123456789012345678901234567890123456789"
    "-+ \t\n\v\f\r,.a/:\x80\xA4\xFF";

template <size_t N>
constexpr size_t countOf(const int32_t (&)[N]) {
  return N;
}
template <size_t N>
constexpr size_t countOf(const uint32_t (&)[N]) {
  return N;
}

// Reads the input front to back; past the end every byte is 0.
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
    return kInterestingInts[s % countOf(kInterestingInts)];
  }
  // A divisor other than 0: a table entry, or a raw word (0 reads as 10).
  uint32_t divisor() {
    const uint8_t s = byte();
    if (s & 0x80) {
      const uint32_t d = (s & 0x40) ? word16() : word32();
      return d == 0 ? 10 : d;
    }
    return kInterestingDivisors[s % countOf(kInterestingDivisors)];
  }
  // A text without zero bytes: up to 12 bytes around the 8-byte path switch,
  // or a long one of up to 760 bytes.
  std::string text() {
    const uint8_t s = byte();
    const size_t length = s < 160 ? s % 13 : static_cast<size_t>(s - 160) * 8;
    std::string t;
    t.reserve(length);
    for (size_t i = 0; i < length && !atEnd(); ++i) t.push_back(kTextBytes[byte() % (sizeof kTextBytes - 1)]);
    return t;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// --- The reference model ------------------------------------------------------

// The value the fields of x denote, read from the representation alone.
mpz_class valueOf(const arbitrary& x) {
  if (x.isSmall()) return mpz_class(static_cast<long>(x.smallPart()));
  mpz_class m = 0;
  for (size_t i = x.limbCount(); i-- > 0;) m = m * 65536 + static_cast<unsigned long>(x.limb(i));
  return x.nonNegativeFlag() ? m : mpz_class(-m);
}

bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The value a text denotes: up to 8 bytes as strtol reads it, longer texts
// digit by digit, negative only when the first byte is '-'.
mpz_class textValue(const std::string& t) {
  mpz_class v = 0;
  size_t i = 0;
  if (t.size() <= 8) {
    while (i < t.size() && isCSpace(t[i])) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    for (; i < t.size() && isDigit(t[i]); ++i) v = v * 10 + (t[i] - '0');
    return negative ? mpz_class(-v) : v;
  }
  for (char c : t) {
    if (isDigit(c)) v = v * 10 + (c - '0');
  }
  return !t.empty() && t[0] == '-' ? mpz_class(-v) : v;
}

bool fitsInt32(const mpz_class& v) { return v >= INT32_MIN && v <= INT32_MAX; }

// --- Reporting ----------------------------------------------------------------

std::string describe(const arbitrary& x) {
  std::string s = x.isSmall() ? "small " + std::to_string(x.smallPart()) : "large [";
  for (size_t i = 0; i < x.limbCount(); ++i) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%s%04X", i ? " " : "", static_cast<unsigned>(x.limb(i)));
    s += buf;
  }
  if (!x.isSmall()) s += "] = " + valueOf(x).get_str();
  s += x.nonNegativeFlag() ? " (flag +)" : " (flag -)";
  return s;
}

[[noreturn]] void fail(int step, const char* operation, const std::string& detail) {
  std::fprintf(stderr, "arbitrary_fuzz: step %d (%s): %s\n", step, operation, detail.c_str());
  std::abort();
}

class Machine {
 public:
  void run(Reader& in) {
    for (step_ = 0; step_ < kMaxOperations && !in.atEnd(); ++step_) {
      const uint8_t opcode = in.byte();
      const uint8_t regs = in.byte();
      const int a = regs & 3;
      const int b = (regs >> 2) & 3;
      execute(opcode % 20, a, b, in);
      for (int r = 0; r < kRegisters; ++r) checkRegister(r);
      if (trace_) {
        std::fprintf(stderr, "step %d: %s on %d, %d\n", step_, op_, a, b);
        for (int r = 0; r < kRegisters; ++r)
          std::fprintf(stderr, "  r%d = %s\n", r, describe(reg_[r]).c_str());
      }
    }
  }

 private:
  void execute(int opcode, int a, int b, Reader& in) {
    arbitrary& x = reg_[a];
    arbitrary& y = reg_[b];
    switch (opcode) {
      case 0: {
        op_ = "construct from text";
        const std::string t = in.text();
        x = arbitrary(t.c_str());
        model_[a] = textValue(t);
        checkValue(x, model_[a], "\"" + t + "\"");
        const mpz_class magnitude = abs(model_[a]);
        // Short texts land in the small form; long ones stay small up to
        // 327679 and otherwise carry no high zero limb.
        const bool wantSmall = t.size() <= 8 || magnitude <= 327679;
        if (x.isSmall() != wantSmall) fail(step_, op_, "form of \"" + t + "\": " + describe(x));
        if (!x.isSmall() && x.limb(x.limbCount() - 1) == 0)
          fail(step_, op_, "high zero limb: " + describe(x));
        break;
      }
      case 1: {
        op_ = "copy construction";
        arbitrary copy(y);
        checkValue(copy, model_[b], "copy");
        copy += 1;  // the copy owns its limbs: the original must not change
        checkValue(y, model_[b], "original after changing the copy");
        x = copy;
        model_[a] = model_[b] + 1;
        break;
      }
      case 2: {
        op_ = "move construction";
        arbitrary moved(std::move(y));
        const mpz_class v = model_[b];
        if (!y.isSmall() || y.smallPart() != 0) fail(step_, op_, "moved-from value: " + describe(y));
        model_[b] = 0;
        checkValue(moved, v, "moved value");
        x = moved;
        model_[a] = v;
        break;
      }
      case 3:
        op_ = "assignment";
        x = y;
        model_[a] = model_[b];
        break;
      case 4: {
        op_ = "assignment of a machine integer";
        const int32_t w = in.machineInt();
        x = w;
        model_[a] = w;
        if (!x.isSmall()) fail(step_, op_, "not small: " + describe(x));
        break;
      }
      case 5:
      case 6: {
        op_ = opcode == 5 ? "+= arbitrary" : "-= arbitrary";
        const mpz_class want =
            opcode == 5 ? mpz_class(model_[a] + model_[b]) : mpz_class(model_[a] - model_[b]);
        if (opcode == 5) {
          x += y;
        } else {
          x -= y;
        }
        model_[a] = want;
        break;
      }
      case 7: {
        op_ = "*= arbitrary";
        if (x.limbCount() + y.limbCount() > kMaxLimbs) break;
        const bool wasLarge = !x.isSmall();
        x *= y;
        model_[a] = model_[a] * model_[b];
        if (wasLarge && x.isSmall()) fail(step_, op_, "product normalized: " + describe(x));
        break;
      }
      case 8:
      case 9:
      case 10: {
        const int32_t w = in.machineInt();
        if (opcode == 8) {
          op_ = "+= machine integer";
          x += w;
          model_[a] += w;
        } else if (opcode == 9) {
          op_ = "-= machine integer";
          x -= w;
          model_[a] -= w;
        } else {
          op_ = "*= machine integer";
          if (x.limbCount() + 2 > kMaxLimbs) break;
          const bool wasLarge = !x.isSmall();
          x *= w;
          model_[a] *= w;
          if (wasLarge && x.isSmall()) fail(step_, op_, "product normalized: " + describe(x));
        }
        break;
      }
      case 11: {
        op_ = "comparison";
        const int32_t w = in.machineInt();
        const mpz_class& u = model_[a];
        const mpz_class& v = model_[b];
        expectRelation(x > y, u > v, "x > y", x, &y, w);
        expectRelation(x > w, u > w, "x > w", x, nullptr, w);
        expectRelation(x < w, u < w, "x < w", x, nullptr, w);
        expectRelation(x == w, u == w, "x == w", x, nullptr, w);
        break;
      }
      case 12: {
        op_ = "divideByWord";
        const uint32_t d = in.divisor();
        const size_t limbsBefore = x.limbCount();
        const std::string before = describe(x);
        const uint32_t r = x.divideByWord(d);
        mpz_class q;
        mpz_tdiv_q_ui(q.get_mpz_t(), model_[a].get_mpz_t(), d);
        const mpz_class wantR = abs(model_[a]) % d;
        const std::string context = before + " / " + std::to_string(d);
        if (mpz_class(r) != wantR) {
          fail(step_, op_, context + ": remainder " + std::to_string(r) + ", want " + wantR.get_str());
        }
        model_[a] = q;
        checkValue(x, q, context);
        if (limbsBefore <= 2 && fitsInt32(q) && !x.isSmall()) {
          fail(step_, op_, context + ": quotient not small: " + describe(x));
        }
        break;
      }
      case 13: {
        op_ = "printing";
        std::ostringstream os;
        os << x;
        if (os.str() != model_[a].get_str()) {
          fail(step_, op_, describe(x) + " printed \"" + os.str() + "\", want " + model_[a].get_str());
        }
        break;
      }
      case 14:
        op_ = "negate";
        x.negate();
        model_[a] = -model_[a];
        break;
      case 15: {
        const uint8_t which = in.byte() % 3;
        const bool wasSmall = x.isSmall();
        const int32_t v = x.smallPart();
        if (which == 0) {
          op_ = "promoteForAdd";
          x.promoteForAdd();
          if (wasSmall && x.isSmall() != (v >= -0x3FFFFFFF && v <= 0x3FFFFFFE)) fail(step_, op_, describe(x));
        } else if (which == 1) {
          op_ = "promoteForMul";
          x.promoteForMul();
          if (wasSmall && x.isSmall() != (v >= -0x8000 && v <= 0x7FFF)) fail(step_, op_, describe(x));
        } else {
          op_ = "normalize";
          x.normalize();
          if (!x.isSmall() && (x.limbCount() < 2 || x.limb(x.limbCount() - 1) == 0)) {
            fail(step_, op_, "not normalized: " + describe(x));
          }
        }
        break;
      }
      case 16: {
        op_ = "large value from limbs";
        const size_t n = 1 + in.byte() % 6;
        const bool negative = in.byte() & 1;
        arbitrary v;
        v.resizeLimbs(n);
        mpz_class m = 0;
        for (size_t i = 0; i < n; ++i) {
          v.limb(i) = in.word16();
          m += mpz_class(v.limb(i)) << static_cast<mp_bitcnt_t>(16 * i);
        }
        if (negative) v.negate();
        x = v;
        model_[a] = negative ? mpz_class(-m) : m;
        break;
      }
      case 17: {
        op_ = "resizeLimbs";
        if (x.isSmall()) break;  // growing a small value is a form change, not arithmetic
        const uint8_t s = in.byte();
        const size_t n = x.limbCount();
        if (s & 0x80) {
          // Shrinking drops the top limbs: the magnitude keeps its low limbs.
          const size_t keep = s % (n + 1);
          x.resizeLimbs(keep);
          mpz_class m = abs(model_[a]);
          mpz_fdiv_r_2exp(m.get_mpz_t(), m.get_mpz_t(), static_cast<mp_bitcnt_t>(16 * keep));
          model_[a] = model_[a] < 0 ? mpz_class(-m) : m;
        } else if (n + 3 <= kMaxLimbs) {
          x.resizeLimbs(n + 1 + s % 3);  // high zero limbs: the value stays
        }
        break;
      }
      case 18: {
        op_ = "setMagnitude32";
        const uint32_t w = in.word32();
        x.setMagnitude32(w);
        model_[a] = w;
        if (x.limbCount() != 2 || !x.nonNegativeFlag()) fail(step_, op_, describe(x));
        break;
      }
      default: {
        op_ = "magnitudeLow32";
        mpz_class m = abs(model_[a]);
        mpz_fdiv_r_2exp(m.get_mpz_t(), m.get_mpz_t(), 32);
        if (mpz_class(x.magnitudeLow32()) != m) {
          fail(step_, op_, describe(x) + " gave " + std::to_string(x.magnitudeLow32()));
        }
        break;
      }
    }
  }

  void checkValue(const arbitrary& x, const mpz_class& want, const std::string& context) {
    if (valueOf(x) != want) fail(step_, op_, context + ": got " + describe(x) + ", want " + want.get_str());
  }

  void checkRegister(int r) {
    const arbitrary& x = reg_[r];
    if (!x.isSmall() && x.smallPart() != 0) fail(step_, op_, "large form with a small field: " + describe(x));
    checkValue(x, model_[r], "register " + std::to_string(r));
  }

  void expectRelation(bool got, bool want, const char* relation, const arbitrary& x, const arbitrary* y,
                      int32_t w) {
    if (got == want) return;
    std::string detail =
        std::string(relation) + " gave " + (got ? "true" : "false") + " for x = " + describe(x);
    detail += y ? ", y = " + describe(*y) : ", w = " + std::to_string(w);
    fail(step_, op_, detail);
  }

  arbitrary reg_[kRegisters];
  mpz_class model_[kRegisters];
  int step_ = 0;
  const char* op_ = "";
  // ARBITRARY_FUZZ_TRACE=1 prints every decoded operation and the registers.
  const bool trace_ = std::getenv("ARBITRARY_FUZZ_TRACE") != nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in(data, size);
  Machine machine;
  machine.run(in);
  return 0;
}
