// Entry point of longsqrt: reads the command line, then runs the calculator
// on the process's console.
#include <cstdlib>
#include <iostream>
#include <optional>

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

  // A terminal gets the console texts in its own character set unless the
  // command line names one; files and pipes, and the log, get Big5 unless it
  // names UTF-8.
  const std::optional<calc::Encoding> chosen = options.encoding;
  const auto encodingOf = [chosen](int fd) {
    return chosen.value_or(calc::platform::terminalSpeaksUtf8(fd) ? calc::Encoding::utf8
                                                                  : calc::Encoding::big5);
  };
  const calc::Encodings encodings{encodingOf(1), encodingOf(2), chosen.value_or(calc::Encoding::big5)};
  const calc::platform::ConsoleCodePage codePage(encodings.out);
  if (options.check) return calc::check(options.logPath.c_str(), std::cout, std::cerr, encodings.out);
  calc::Console console{
      std::cin, std::cout, std::cerr,
      [chosen] { calc::platform::waitForKey(std::cout, calc::texts::kPressAnyKey, chosen); },
      calc::platform::standardErrorIsTerminal()};
  console.inIsTerminal = calc::platform::standardInputIsTerminal();
  console.inputError = calc::platform::standardInputError;
  console.encodings = encodings;
  // Only the benchmark turns the syncs off, to show what they cost.
  const char* noSync = std::getenv("LONGSQRT_BENCH_NO_SYNC");
  console.durable = noSync == nullptr || *noSync == '\0';
  return calc::run(state, console, options.logPath.c_str(), options.resume);
}
