// The calculator's run: the dialogue, the integer-part search on arbitrary
// squares and the digit-by-digit loop that writes the run log.
#include "calc/calculator.h"

#include <cctype>
#include <istream>
#include <ostream>

#include "bigint/arbitrary.h"

namespace calc {

namespace {

// Reads one answer into value. Succeeds only when the formatted read succeeds
// and the number is followed by white space or the end of input, so that
// "12abc" or "1.5" is refused as a whole rather than split across answers.
template <typename T>
bool readAnswer(std::istream& in, T& value) {
  if (!(in >> value)) return false;
  const auto next = in.peek();
  return next == std::istream::traits_type::eof() || std::isspace(next);
}

// Returns the square of the number a decimal text holds, built the way the
// loop judges every candidate: two values made from the text, the first
// multiplied by the second.
arbitrary squareOf(const std::string& digits) {
  arbitrary x(digits.c_str());
  arbitrary factor(digits.c_str());
  x *= factor;
  return x;
}

// Writes the result record of place k: the result line, the separator and an
// empty line.
void writeResultRecord(std::ostream& log, int32_t no, int64_t k, const std::string& resultText) {
  log << texts::kResultPrefix << texts::kResultSqrt << no << texts::kResultComma << k << texts::kResultEquals
      << resultText << std::endl;
  log << texts::kSeparator << std::endl;
  log << std::endl;
}

// Writes the two lines that show the scaled radicand and a square.
void writeValues(std::ostream& log, const arbitrary& noScaledValue, const arbitrary& x) {
  log << texts::kNoScaledLabel << noScaledValue << std::endl;
  log << texts::kXLabel << x << std::endl;
}

// Ends a run that cannot go on: reports why, closes the log, waits for a key.
int refuse(ProgramState& state, Console& console, const char* message) {
  console.err << message << std::endl;
  if (state.logFile.is_open()) state.logFile.close();
  if (console.waitForKey) console.waitForKey();
  return 1;
}

}  // namespace

int run(ProgramState& state, Console& console, const char* logPath) {
  std::istream& in = console.in;
  std::ostream& out = console.out;

  // Text mode: line feeds become the platform's line ends in the file.
  state.logFile.open(logPath);
  if (!state.logFile.is_open()) return refuse(state, console, texts::kLogOpenFailed);

  out << texts::kAskDebug << std::flush;
  if (!readAnswer(in, state.debug)) return refuse(state, console, texts::kBadDebug);

  int32_t no = 0;
  out << texts::kAskNo << std::flush;
  if (!readAnswer(in, no) || no < 0) return refuse(state, console, texts::kBadNo);

  int32_t length = 0;
  out << texts::kAskLength << std::flush;
  if (!readAnswer(in, length)) return refuse(state, console, texts::kBadLength);

  out << texts::kComputing << std::endl;
  ProgressReporter progress(console.err, console.errIsTerminal, length, console.clock);
  state.texts.noScaled = std::to_string(no);
  state.texts.rootStr = std::to_string(integerPart(no, out, state.texts.resultText));
  bool logged = digitLoop(no, length, state.debug, state.logFile, state.texts, &progress);
  progress.finish();

  state.logFile.close();
  logged = logged && !state.logFile.fail();
  if (!logged) return refuse(state, console, texts::kLogWriteFailed);

  out << texts::kFinished << std::endl;
  if (console.waitForKey) console.waitForKey();
  return 0;
}

int32_t integerPart(int32_t no, std::ostream& out, std::string& resultText) {
  if (no < 0) return -1;
  for (int32_t i = 0;; ++i) {
    arbitrary N(no);
    arbitrary S(0);
    arbitrary T(0);
    S = i;
    T = i;
    S *= T;
    if (S > N) {
      out << texts::kInput << N << std::endl;
      const int32_t result = i - 1;
      resultText = std::to_string(result) + texts::kPoint;
      return result;
    }
  }
}

bool digitLoop(int32_t no, int32_t length, bool debug, std::ostream& logFile, RootTexts& texts,
               ProgressReporter* progress) {
  std::string& noScaled = texts.noScaled;
  std::string& rootStr = texts.rootStr;
  std::string& resultText = texts.resultText;

  // 64-bit place counter: a length of 2147483647 must end, not overflow.
  for (int64_t k = 1; k <= length; ++k) {
    noScaled += "00";
    std::string prevDigit = "0";
    std::string rootStrNew;
    for (int32_t n = 0; n <= 9; ++n) {
      arbitrary noScaledValue(noScaled.c_str());
      rootStrNew = rootStr;
      rootStrNew += static_cast<char>('0' + n);
      if (debug) logFile << texts::kTraceN << n << texts::kTraceRootStrNew << rootStrNew << std::endl;

      arbitrary x = squareOf(rootStrNew);
      if (debug) {
        writeValues(logFile, noScaledValue, x);
        if (!logFile) return false;
      }

      arbitrary diff(0);
      diff = x;
      diff -= noScaledValue;

      // Case 1: this candidate's square overshoots, so the digit before it is
      // the place's digit (an exact match waits here for the next candidate).
      if (diff > 0) {
        rootStrNew = rootStr;
        rootStrNew += prevDigit;
        rootStr = rootStrNew;
        resultText += prevDigit;
        const arbitrary square = squareOf(rootStr);
        if (debug) {
          logFile << texts::kCase1 << std::endl;
          writeValues(logFile, noScaledValue, square);
        }
        writeResultRecord(logFile, no, k, resultText);
        break;
      }

      prevDigit.assign(1, static_cast<char>('0' + n));

      // Case 2: even 9 leaves the square below the scaled radicand, so 9 it is.
      if (diff < 0 && n == 9) {
        logFile << texts::kLimit << std::endl;
        rootStrNew = rootStr;
        rootStrNew += prevDigit;
        rootStr = rootStrNew;
        resultText += prevDigit;
        const arbitrary square = squareOf(rootStr);
        logFile << texts::kCase2 << std::endl;
        writeValues(logFile, noScaledValue, square);
        writeResultRecord(logFile, no, k, resultText);
        break;
      }
    }
    if (!logFile) return false;
    if (progress) progress->place(static_cast<int32_t>(k));
  }
  return true;
}

}  // namespace calc
