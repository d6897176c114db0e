// Differential fuzz target for arbitrary: each input is a program for the GMP
// model's interpreter (arbitrary_model.h), run once on every path of the limb
// loops this processor runs, and the first disagreement aborts with a report.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <vector>

#include "bigint/magnitude.h"
#include "fuzz/arbitrary_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<magnitude::Path> paths = magnitude::supportedPaths();
  for (magnitude::Path path : paths) {
    magnitude::usePath(path);
    const std::string mismatch = arbitrary_model::Machine().run(data, size);
    if (!mismatch.empty()) {
      std::fprintf(stderr, "arbitrary_fuzz: on the %s path: %s\n", magnitude::pathName(path),
                   mismatch.c_str());
      std::abort();
    }
  }
  return 0;
}
