// The program as a process: what its environment, command line and standard
// streams make of a run.
#ifndef LONGSQRT_CALC_PROCESS_H
#define LONGSQRT_CALC_PROCESS_H

#include <optional>

#include "calc/calculator.h"
#include "calc/options.h"

namespace calc {

// Sets a run up from what the process was given: takes the limb loops that
// limbLoops names (the value of LONGSQRT_LIMB_LOOPS), reads argv[1 ..
// argc-1] into options, and builds console on std::cin, std::cout and
// std::cerr: each stream's encoding (a terminal's own character set unless
// the command line names one; Big5 for files, pipes and the log), which of
// them are terminals, why standard input ended, and the wait for a key.
// Returns nothing when the run goes on, with console set; otherwise the exit
// status, after what chooseLimbLoops or parseArguments wrote.
std::optional<int> setUpFromProcess(int argc, const char* const* argv, const char* limbLoops,
                                    Options& options, std::optional<Console>& console);

}  // namespace calc

#endif  // LONGSQRT_CALC_PROCESS_H
