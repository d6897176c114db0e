// Micro-benchmarks of the hot big-integer operations at 100, 1000 and 10000
// decimal digits: construction from text, multiplication by 10, squaring,
// subtraction, decimal output, and one whole candidate of the digit loop.
//
// Each benchmark reports the fitted complexity in the number of digits, so a
// change to a pass shows both in the constant and in the growth.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <streambuf>
#include <string>

#include "bigint/arbitrary.h"

namespace {

// Returns a text of n decimal digits without a leading zero, the same text for
// the same seed on every run.
std::string digitText(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> digit(0, 9);
  std::string text(n, '0');
  text[0] = static_cast<char>('1' + digit(gen) % 9);
  for (size_t i = 1; i < n; ++i) text[i] = static_cast<char>('0' + digit(gen));
  return text;
}

// A stream buffer that accepts and forgets every character. It keeps a buffer
// like a file stream does, so formatted single-character insertion costs what
// it costs on the run log, minus the writes to the file.
class DiscardBuffer : public std::streambuf {
 public:
  DiscardBuffer() { setp(buffer_, buffer_ + sizeof buffer_); }

 protected:
  int_type overflow(int_type c) override {
    setp(buffer_, buffer_ + sizeof buffer_);
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

 private:
  char buffer_[4096];
};

void digitArgs(benchmark::internal::Benchmark* b) { b->Arg(100)->Arg(1000)->Arg(10000)->Complexity(); }
// The texts a run builds: a root and a scaled radicand at 150 places (most of
// their passes below 32 limbs) and at 2000 places.
void runDigitArgs(benchmark::internal::Benchmark* b) { b->Arg(150)->Arg(300)->Arg(2000)->Arg(4000); }

// Construction from a decimal text of n digits (multiply by ten and add the
// digit, once per digit), including the release of the value.
void BM_FromText(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::string text = digitText(n, 1);
  for (auto _ : state) {
    arbitrary v(text.c_str());
    benchmark::DoNotOptimize(v);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FromText)->Apply(digitArgs);
BENCHMARK(BM_FromText)->Name("BM_FromTextOfARun")->Apply(runDigitArgs);

// Copying an n-digit value into a value that already holds as many limbs: the
// baseline included in the multiplication and subtraction benchmarks below,
// which start each iteration from a fresh copy of their operand.
void BM_Assign(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const arbitrary base(digitText(n, 2).c_str());
  arbitrary v = base;
  for (auto _ : state) {
    v = base;
    benchmark::DoNotOptimize(v);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Assign)->Apply(digitArgs);

// Multiplication of an n-digit value by the machine integer 10.
void BM_MultiplyBy10(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const arbitrary base(digitText(n, 3).c_str());
  arbitrary v = base;
  for (auto _ : state) {
    v = base;
    v *= 10;
    benchmark::DoNotOptimize(v);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_MultiplyBy10)->Apply(digitArgs);

// Squaring an n-digit value the way the digit loop does: two equal values, the
// first multiplied by the second.
void BM_Square(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::string text = digitText(n, 4);
  const arbitrary base(text.c_str());
  arbitrary factor(text.c_str());
  arbitrary x = base;
  for (auto _ : state) {
    x = base;
    x *= factor;
    benchmark::DoNotOptimize(x);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Square)->Apply(digitArgs);

// Subtraction of two n-digit values of the same length, formed as the digit
// loop forms its difference: a value made from 0, assigned the minuend, then
// reduced by the subtrahend.
void BM_Subtract(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  std::string larger = digitText(n, 5);
  std::string smaller = digitText(n, 6);
  larger[0] = '9';
  smaller[0] = '1';
  const arbitrary minuend(larger.c_str());
  arbitrary subtrahend(smaller.c_str());
  for (auto _ : state) {
    arbitrary diff(0);
    diff = minuend;
    diff -= subtrahend;
    benchmark::DoNotOptimize(diff);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Subtract)->Apply(digitArgs);

// Decimal output of an n-digit value to a buffered stream (one division by 10
// per digit, including the copy the insertion takes).
void BM_DecimalOutput(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const arbitrary v(digitText(n, 7).c_str());
  DiscardBuffer sink;
  std::ostream os(&sink);
  for (auto _ : state) {
    os << v;
    benchmark::ClobberMemory();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DecimalOutput)->Apply(digitArgs);

// One candidate of the digit loop with a root of n digits: the scaled radicand
// (2n digits) and two copies of the candidate built from text, the square, and
// the difference tested against 0.
void BM_Candidate(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::string noScaled = digitText(2 * n, 8);
  const std::string rootStrNew = digitText(n, 9);
  for (auto _ : state) {
    arbitrary scaled(noScaled.c_str());
    arbitrary x(rootStrNew.c_str());
    arbitrary factor(rootStrNew.c_str());
    x *= factor;
    arbitrary diff(0);
    diff = x;
    diff -= scaled;
    benchmark::DoNotOptimize(diff > 0);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Candidate)->Apply(digitArgs);

}  // namespace
