// Micro-benchmarks of the limb loops that come in more than one form, one pass
// at a time, on every path this processor runs: multiplication by ten (the
// pass of construction from text), division by ten (the pass of decimal
// output) and the column product (squaring), at 100, 1000 and 10000 digits
// (21, 208 and 2077 limbs). Times are per limb, or per limb product for the
// column product; the label names the path. The passes also run at short
// lengths, where the cost of a pass is mostly what it does whatever its
// length, and report that time per pass.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "bigint/magnitude.h"

namespace {

// Passes run on one copy of the operand before it is copied afresh: ten
// times ten passes would wear a magnitude down to zeros.
constexpr int kPassesPerCopy = 16;

// Returns the limbs of a random number of about the given digits.
std::vector<uint16_t> limbsOf(int64_t digits) {
  std::mt19937 gen(static_cast<uint32_t>(digits));
  std::vector<uint16_t> x(static_cast<size_t>(digits * 10 / 48 + 1));  // log2(10) / 16 < 10 / 48
  for (uint16_t& limb : x) limb = static_cast<uint16_t>(gen());
  return x;
}

// Keeps the path taken when it was made, and takes it again when it goes.
struct PathKept {
  magnitude::Path path = magnitude::activePath();
  ~PathKept() { magnitude::usePath(path); }
};

// Takes the path the second argument names; returns false (and skips the
// benchmark) when the processor does not run it.
bool takePath(benchmark::State& state) {
  const std::vector<magnitude::Path> paths = magnitude::supportedPaths();
  const size_t i = static_cast<size_t>(state.range(1));
  if (i >= paths.size()) {
    state.SkipWithError("this processor does not run this path");
    return false;
  }
  magnitude::usePath(paths[i]);
  state.SetLabel(magnitude::pathName(paths[i]));
  return true;
}

// Reports the time per unit of work, units counted per iteration.
void perUnit(benchmark::State& state, double units) {
  state.counters["per_limb"] =
      benchmark::Counter(units, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Every path index a processor may run; those it does not are skipped.
const std::vector<int64_t> kPathIndices{0, 1, 2};

void digitsAndPaths(benchmark::internal::Benchmark* b) {
  b->ArgNames({"digits", "path"})->ArgsProduct({{100, 1000, 10000}, kPathIndices});
}

// 10 to 310 digits: 3, 11, 21, 32, 42 and 65 limbs, below, at and above the
// vector threshold and both sides of a 32-limb block.
void shortDigitsAndPaths(benchmark::internal::Benchmark* b) {
  b->ArgNames({"digits", "path"})->ArgsProduct({{10, 50, 100, 150, 200, 310}, kPathIndices});
}

template <uint32_t (*pass)(uint16_t*, size_t)>
void passes(benchmark::State& state) {
  const PathKept kept;
  if (!takePath(state)) return;
  const std::vector<uint16_t> base = limbsOf(state.range(0));
  std::vector<uint16_t> x = base;
  for (auto _ : state) {
    std::memcpy(x.data(), base.data(), base.size() * sizeof(uint16_t));
    for (int i = 0; i < kPassesPerCopy; ++i) benchmark::DoNotOptimize(pass(x.data(), x.size()));
    benchmark::ClobberMemory();
  }
  perUnit(state, static_cast<double>(kPassesPerCopy * base.size()));
  state.counters["per_pass"] = benchmark::Counter(
      kPassesPerCopy, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

uint32_t multiplyByTen(uint16_t* x, size_t n) { return magnitude::multiplyByLimb(x, n, 10); }

// One multiply-by-ten pass.
void BM_MultiplyBy10Pass(benchmark::State& state) { passes<multiplyByTen>(state); }
BENCHMARK(BM_MultiplyBy10Pass)->Apply(digitsAndPaths);
BENCHMARK(BM_MultiplyBy10Pass)->Name("BM_MultiplyBy10ShortPass")->Apply(shortDigitsAndPaths);

// One divide-by-ten pass.
void BM_DivideBy10Pass(benchmark::State& state) { passes<magnitude::divideBy10>(state); }
BENCHMARK(BM_DivideBy10Pass)->Apply(digitsAndPaths);
BENCHMARK(BM_DivideBy10Pass)->Name("BM_DivideBy10ShortPass")->Apply(shortDigitsAndPaths);

// The column product of a magnitude with itself, per limb product.
void BM_ColumnProduct(benchmark::State& state) {
  const PathKept kept;
  if (!takePath(state)) return;
  const std::vector<uint16_t> a = limbsOf(state.range(0));
  std::vector<uint16_t> r(2 * a.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(magnitude::multiply(r.data(), a.data(), a.size(), a.data(), a.size()));
    benchmark::ClobberMemory();
  }
  perUnit(state, static_cast<double>(a.size() * a.size()));
}
BENCHMARK(BM_ColumnProduct)->Apply(digitsAndPaths);

}  // namespace
