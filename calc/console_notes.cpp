// The notes a run writes on standard error: the root at its end, the way to
// continue it after an interruption.
#include "calc/console_notes.h"

#include <algorithm>
#include <cstring>

#include "calc/platform/platform.h"
#include "calc/run_log.h"
#include "calc/texts.h"

namespace calc {

std::string resumeCommand(const Options& options) {
  std::string command = "longsqrt --resume";
  if (options.encoding) command += *options.encoding == Encoding::utf8 ? " --utf8" : " --big5";
  if (options.logPath != texts::kLogFileName)
    command += " --log " + platform::commandWord(printable(options.logPath));
  if (options.answers) {
    const Answers& a = *options.answers;
    command +=
        std::string(a.debug ? " --debug " : " ") + std::to_string(a.no) + " " + std::to_string(a.length);
  }
  return command;
}

std::string interruptNote(const Options& options, const Answers& answers, int64_t places, Encoding e) {
  std::string note = texts::kInterrupted.before.in(e) + printable(options.logPath) +
                     texts::kInterrupted.after.in(e) + std::to_string(places) +
                     texts::kInterruptedPlaces.in(e) + resumeCommand(options);
  if (!options.answers) {
    note += texts::kAnswerAgain.in(e) + std::string(answers.debug ? "1" : "0") + ", " +
            std::to_string(answers.no) + ", " + std::to_string(answers.length);
  }
  return note + "\n";
}

std::string fittedResultLine(Encoding e, int32_t no, int64_t length, const std::string& resultText,
                             int columns) {
  constexpr int kUnknownColumns = 80;
  std::string line;
  runlog::resultLine(line, e, no, length, resultText);
  // The start of the line takes as many columns as its Big5 bytes (each
  // character two); the rest is ASCII, a column a byte.
  const std::size_t startBytes = std::strlen(texts::kResultPrefix.in(e));
  const std::size_t startColumns = std::strlen(texts::kResultPrefix.big5);
  // The last column is left free: writing there makes some terminals wrap.
  const std::size_t width = static_cast<std::size_t>(columns > 0 ? columns : kUnknownColumns) - 1;
  const std::size_t rest = line.size() - startBytes;
  if (startColumns + rest <= width) return line;
  const std::string tail = "... (" + std::to_string(length) + (length == 1 ? " place)" : " places)");
  const std::size_t room = width > startColumns + tail.size() ? width - startColumns - tail.size() : 0;
  line.resize(startBytes + std::min(rest, room));
  return line + tail;
}

}  // namespace calc
