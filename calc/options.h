// The command line of longsqrt: no operand runs the dialogue with a Big5 log
// and console texts in each terminal's character set, the operands NO and
// LENGTH (with --debug) answer it instead; --big5 and --utf8 write everything
// in the one they name; --log names the log ("-": standard output); --resume
// continues the run its log holds, --check verifies a log and asks nothing;
// --threads sets how many threads judge the candidates; --help and --version
// answer and end the program. Beside it, LONGSQRT_LIMB_LOOPS may choose the
// path of the big-integer loops.
#ifndef LONGSQRT_CALC_OPTIONS_H
#define LONGSQRT_CALC_OPTIONS_H

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "calc/log_file.h"
#include "calc/texts.h"

namespace calc {

// The answers the operands give instead of the dialogue's.
struct Answers {
  bool debug = false;  // --debug
  int32_t no = 0;      // NO, 0 to 2147483647
  int32_t length = 0;  // LENGTH
};

// What the command line asks of a run.
struct Options {
  std::optional<Encoding> encoding;           // --big5 or --utf8: every text in it; none: each terminal's own
  std::string logPath = texts::kLogFileName;  // --log FILE: the run log's path; kLogToOutput: standard output
  bool resume = false;                        // --resume: continue the run the log holds
  bool check = false;                         // --check: verify the log, ask nothing
  std::optional<int> threads;                 // --threads N (1 to kMostThreads); none: defaultThreads()
  std::optional<Answers> answers;             // NO LENGTH: nothing is asked; none: the dialogue
};

// Makes the big-integer loops take the path name asks for (the value of the
// environment variable LONGSQRT_LIMB_LOOPS: "scalar" or "avx2"); null or
// empty keeps the fastest the processor runs. Returns nothing when the run
// goes on, 2 after writing a one-line message to err when the name is unknown
// or the processor does not run that path.
std::optional<int> chooseLimbLoops(const char* name, std::ostream& err);

// Reads the arguments argv[1 .. argc-1] into options. Returns nothing when the
// run goes on; otherwise the exit status the program ends with: 0 after writing
// the usage (--help, -h) or the version (--version), each naming the default
// thread count, to out (1, with a message on err, when out fails to take it),
// 2 after writing a one-line message to err naming an unknown argument, a
// --log without a file name (missing or empty), a --threads N or --threads=N
// whose N is not a decimal number from 1 to 64, two options that exclude
// each other (--big5 and --utf8, --resume and --check), a NO without LENGTH,
// a third operand, a NO that is not an integer from 0 to 2147483647 or a
// LENGTH that is not a 32-bit integer, --debug or --log - without NO and
// LENGTH, operands with --check, or --log - with --resume. An argument "--"
// ends the options; one of "-" and digits is an operand. Messages show
// control bytes and invalid UTF-8 of what they name as escapes (\e, \x9b).
std::optional<int> parseArguments(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                                  Options& options);

// Returns text as a message may show it: printable ASCII and well-formed
// UTF-8 as they are, a backslash doubled, and every other byte (control
// bytes, invalid UTF-8) as an escape (\e, \n, \t, \r, \x9b), so that no
// argument or log line can move the cursor or switch the terminal's modes.
std::string printable(const std::string& text);

}  // namespace calc

#endif  // LONGSQRT_CALC_OPTIONS_H
