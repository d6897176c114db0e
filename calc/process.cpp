// The run set up from the process: the limb loops, the arguments and the
// console on the standard streams.
#include "calc/process.h"

#include <iostream>

#include "calc/platform/platform.h"

namespace calc {

int setUpFromProcess(int argc, const char* const* argv, const char* limbLoops, Options& options,
                     std::optional<Console>& console) {
  // The path comes first, so that --version names the one the run would take.
  int status = chooseLimbLoops(limbLoops, std::cerr);
  if (status >= 0) return status;
  status = parseArguments(argc, argv, std::cout, std::cerr, options);
  if (status >= 0) return status;

  const std::optional<Encoding> chosen = options.encoding;
  const auto encodingOf = [chosen](int fd) {
    return chosen.value_or(platform::terminalSpeaksUtf8(fd) ? Encoding::utf8 : Encoding::big5);
  };
  console.emplace(Console{std::cin, std::cout, std::cerr,
                          [chosen] {
                            platform::waitForKey(
                                std::cout, [](Encoding e) { return texts::kPressAnyKey.in(e); }, chosen);
                          },
                          platform::standardErrorTerminal(std::cerr)});
  console->inIsTerminal = platform::isTerminal(0);
  console->inputError = platform::standardInputError;
  console->encodings = Encodings{encodingOf(1), encodingOf(2), chosen.value_or(Encoding::big5)};
  return -1;
}

}  // namespace calc
