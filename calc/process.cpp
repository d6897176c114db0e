// The run set up from the process: the limb loops, the arguments and the
// console on the standard streams.
#include "calc/process.h"

#include <iostream>

#include "calc/platform/platform.h"

namespace calc {

std::optional<int> setUpFromProcess(int argc, const char* const* argv, const char* limbLoops,
                                    Options& options, std::optional<Console>& console) {
  // The path comes first, so that --version names the one the run would take.
  if (const std::optional<int> status = chooseLimbLoops(limbLoops, std::cerr)) return status;
  if (const std::optional<int> status = parseArguments(argc, argv, std::cout, std::cerr, options))
    return status;

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
  console->noteOnInterrupt = [](const std::string& note) {
    if (note.empty()) {
      platform::stopNotingInterrupts();
    } else {
      platform::noteOnInterrupt(note.data(), note.size());
    }
  };
  console->encodings = Encodings{encodingOf(1), encodingOf(2), chosen.value_or(Encoding::big5)};
  return std::nullopt;
}

}  // namespace calc
