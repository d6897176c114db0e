// Entry point of longsqrt: sets the run up from the process, then runs the
// calculator on the process's console.
#include <cstdlib>
#include <optional>

#include "calc/calculator.h"
#include "calc/options.h"
#include "calc/platform/platform.h"
#include "calc/process.h"

namespace {
// The run's program-lifetime state exists before main starts and outlives it.
calc::ProgramState state;
}  // namespace

int main(int argc, char** argv) {
  calc::platform::reserveStandardStreams();
  calc::platform::failWritesInsteadOfSignals();
  calc::Options options;
  std::optional<calc::Console> console;
  if (const std::optional<int> status =
          calc::setUpFromProcess(argc, argv, std::getenv("LONGSQRT_LIMB_LOOPS"), options, console))
    return *status;
  const calc::platform::ConsoleCodePage codePage(console->encodings.out);
  if (options.check)
    return calc::check(options.logPath.c_str(), console->out, console->err, console->encodings.out);
  // Only the benchmark turns the syncs off, to show what they cost.
  const char* noSync = std::getenv("LONGSQRT_BENCH_NO_SYNC");
  console->durable = noSync == nullptr || *noSync == '\0';
  return calc::run(state, *console, options);
}
