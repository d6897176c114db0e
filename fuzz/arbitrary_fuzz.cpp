// Differential fuzz target for arbitrary: each input is a program for the GMP
// model's interpreter (arbitrary_model.h), and the first disagreement aborts
// with a report.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/arbitrary_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string mismatch = arbitrary_model::Machine().run(data, size);
  if (!mismatch.empty()) {
    std::fprintf(stderr, "arbitrary_fuzz: %s\n", mismatch.c_str());
    std::abort();
  }
  return 0;
}
