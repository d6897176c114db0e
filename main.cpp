// Entry point of longsqrt: reads the command line, then runs the calculator
// on the process's console.
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
  calc::Options options;
  const int status = calc::parseArguments(argc, argv, std::cout, std::cerr, options);
  if (status >= 0) return status;

  const calc::Encoding encoding = options.encoding;
  const calc::platform::ConsoleCodePage codePage(encoding);
  calc::Console console{
      std::cin, std::cout, std::cerr,
      [encoding] { calc::platform::waitForKey(std::cout, calc::texts::kPressAnyKey.in(encoding)); },
      calc::platform::standardErrorIsTerminal()};
  console.inIsTerminal = calc::platform::standardInputIsTerminal();
  console.encoding = encoding;
  return calc::run(state, console);
}
