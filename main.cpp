// Entry point of longsqrt: reads the command line, then runs the calculator
// on the process's console.
#include <cstdlib>
#include <iostream>

#include "calc/calculator.h"
#include "calc/options.h"
#include "calc/platform.h"

namespace {
// The run's program-lifetime state exists before main starts and outlives it.
calc::ProgramState state;
}  // namespace

int main(int argc, char** argv) {
  calc::platform::reserveStandardStreams();
  calc::platform::failWritesInsteadOfSignals();
  // The path comes first, so that --version names the one the run would take.
  int status = calc::chooseLimbLoops(std::getenv("LONGSQRT_LIMB_LOOPS"), std::cerr);
  if (status >= 0) return status;
  calc::Options options;
  status = calc::parseArguments(argc, argv, std::cout, std::cerr, options);
  if (status >= 0) return status;

  const calc::Encoding encoding = options.encoding;
  const calc::platform::ConsoleCodePage codePage(encoding);
  calc::Console console{
      std::cin, std::cout, std::cerr,
      [encoding] { calc::platform::waitForKey(std::cout, calc::texts::kPressAnyKey.in(encoding)); },
      calc::platform::standardErrorIsTerminal()};
  console.inIsTerminal = calc::platform::standardInputIsTerminal();
  console.inputError = calc::platform::standardInputError;
  console.encoding = encoding;
  return calc::run(state, console);
}
