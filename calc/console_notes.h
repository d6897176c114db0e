// What a run tells its user on standard error beside the dialogue: the root
// on a terminal when an interactive run ends, and how to continue a run that
// is interrupted.
#ifndef LONGSQRT_CALC_CONSOLE_NOTES_H
#define LONGSQRT_CALC_CONSOLE_NOTES_H

#include <cstdint>
#include <iosfwd>
#include <string>

#include "calc/encoding.h"
#include "calc/options.h"

namespace calc {

// Returns the command that continues the run of options from its log:
// "longsqrt --resume", the encoding and --log options in force and, for a
// run given its answers as operands, them; the path, as printable() shows
// it, is quoted for this system's shell where it must be.
std::string resumeCommand(const Options& options);

// Returns the line, with its line end, that a run interrupted while its log
// holds places whole places writes, in e: the log's path, places, the command
// that continues it and, for a run that asked its questions, the answers to
// give again.
std::string interruptNote(const Options& options, const Answers& answers, int64_t places, Encoding e);

// Returns the result line of place length, in e, cut to fit columns terminal
// columns less one when it is longer: its start, then "... (N places)".
// Columns of 0 or less: the terminal's width is unknown, 80 is taken.
std::string fittedResultLine(Encoding e, int32_t no, int64_t length, const std::string& resultText,
                             int columns);

}  // namespace calc

#endif  // LONGSQRT_CALC_CONSOLE_NOTES_H
