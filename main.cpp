// Entry point of longsqrt: runs the calculator on the process's console.
#include <iostream>

#include "calc/calculator.h"

int main() {
  static calc::ProgramState state;
  calc::Console console{std::cin, std::cout, std::cerr, [] { calc::waitForKey(std::cout); },
                        calc::standardErrorIsTerminal()};
  return calc::run(state, console);
}
