// Entry point of longsqrt: runs the calculator on the process's console.
#include <iostream>

#include "calc/calculator.h"

namespace {
// The run's program-lifetime state exists before main starts and outlives it.
calc::ProgramState state;
}  // namespace

int main() {
  calc::Console console{std::cin, std::cout, std::cerr, [] { calc::waitForKey(std::cout); },
                        calc::standardErrorIsTerminal()};
  return calc::run(state, console);
}
