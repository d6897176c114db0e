// The run log's records: every line a run writes to its log, built in one
// place for the digit loop that writes them and for the reader that holds a
// log against them, and the texts that carry a run from place to place.
//
// A place's records, in order: with debug, a candidate trace for every
// candidate tried (" n = " n ", rootStrNew= " rootStrNew, then the noScaled
// value and x); when its digit is 9, the limit block ("===極限===", "(2) x <
// noScaled  && n==9  成立", the noScaled value, the square of the new root);
// otherwise, with debug, the case-1 trace ("(1) x > noScaled 成立", the
// noScaled value, the square of the new root); then the result record (the
// result line, 31 "=" and an empty line). Lines end in LF, written CR LF by
// the Windows build.
#ifndef LONGSQRT_CALC_RUN_LOG_H
#define LONGSQRT_CALC_RUN_LOG_H

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "calc/digit_rule.h"
#include "calc/encoding.h"

namespace calc {

// The decimal texts that carry the computation from one place to the next.
struct RootTexts {
  std::string noScaled;    // no * 100^k while place k is being decided
  std::string rootStr;     // the root digits found so far, without a point
  std::string resultText;  // the root as printed: integer part, ".", digits
};

namespace runlog {

// Appends to line the candidate trace's first line: " n = " n ", rootStrNew= " rootStrNew.
void candidateLine(std::string& line, int32_t n, std::string_view rootStrNew);
// Appends "noScaled = " and the value's decimal text.
void noScaledLine(std::string& line, std::string_view value);
// Appends "x        = " and the value's decimal text.
void xLine(std::string& line, std::string_view value);
// Appends the case-1 trace's first line, "(1) x > noScaled 成立", in e.
void case1Line(std::string& line, Encoding e);
// Appends the limit block's first line, "===極限===", in e.
void limitLine(std::string& line, Encoding e);
// Appends the limit block's second line, "(2) x < noScaled  && n==9  成立", in e.
void case2Line(std::string& line, Encoding e);
// Appends the result line of place k in e: "sqrt(整數,小數點位數) ≡ sqrt(" no ", " k ") = " resultText.
void resultLine(std::string& line, Encoding e, int32_t no, int64_t k, std::string_view resultText);
// Appends the start of a result line in e, up to its no: "sqrt(整數,小數點位數) ≡ sqrt(".
void resultLineStart(std::string& line, Encoding e);
// Appends the separator after a result line: 31 "=".
void separatorLine(std::string& line);

// Returns s with each of the log's texts beyond ASCII, in either encoding,
// written in encoding to: a line as a run in that encoding writes it.
std::string withLogTextsIn(std::string s, Encoding to);
// Returns the encoding of the log's text that line, or the start of a line,
// begins with, once a byte beyond ASCII shows it; nothing before that, or
// when it begins with none of them.
std::optional<Encoding> encodingOf(std::string_view line);

}  // namespace runlog

// Where the lines of a log go: a file's stream, or a reader that holds each
// line against a log already written.
class LineSink {
 public:
  virtual ~LineSink() = default;
  // Takes one line, without its line end; returns false once the sink has
  // failed or wants no more lines (every later line is then refused too).
  virtual bool put(std::string_view line) = 0;
};

// A sink that writes each line and a line end to a stream and flushes it, so
// that a log file receives one whole line per write.
class StreamLineSink : public LineSink {
 public:
  explicit StreamLineSink(std::ostream& os) : os_(os) {}
  // Writes line and "\n", then flushes; returns whether the stream is still good.
  bool put(std::string_view line) override;

 private:
  std::ostream& os_;
};

// Writes a run's records to a sink, each line built by the functions above.
// Every method returns false as soon as the sink refuses a line.
class RunLogWriter {
 public:
  RunLogWriter(LineSink& sink, Encoding e) : sink_(sink), encoding_(e) {}

  // Writes the candidate trace's first line.
  bool candidate(int32_t n, std::string_view rootStrNew);
  // Writes the two lines that show the noScaled value and a square.
  bool values(std::string_view noScaled, std::string_view x);
  // Writes what follows a place's decision: the limit block for a limit, the
  // case-1 trace for an overshoot when debug, nothing else; noScaled and
  // square are the values they show.
  bool decision(const Decision& d, bool debug, std::string_view noScaled, std::string_view square);
  // Writes the result record of place k: the result line, the separator, an empty line.
  bool result(int32_t no, int64_t k, std::string_view resultText);

 private:
  bool put();

  LineSink& sink_;
  Encoding encoding_;
  std::string line_;  // the line being built, its storage reused from line to line
};

}  // namespace calc

#endif  // LONGSQRT_CALC_RUN_LOG_H
