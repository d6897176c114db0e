// The run log's lines, as the digit loop writes them and the reader expects them.
#include "calc/run_log.h"

#include <algorithm>
#include <ostream>

#include "calc/texts.h"

namespace calc {

namespace runlog {

void candidateLine(std::string& line, int32_t n, std::string_view rootStrNew) {
  line += texts::kTraceN;
  line += std::to_string(n);
  line += texts::kTraceRootStrNew;
  line += rootStrNew;
}

void noScaledLine(std::string& line, std::string_view value) {
  line += texts::kNoScaledLabel;
  line += value;
}

void xLine(std::string& line, std::string_view value) {
  line += texts::kXLabel;
  line += value;
}

void case1Line(std::string& line, Encoding e) { line += texts::kCase1.in(e); }

void limitLine(std::string& line, Encoding e) { line += texts::kLimit.in(e); }

void case2Line(std::string& line, Encoding e) { line += texts::kCase2.in(e); }

void resultLineStart(std::string& line, Encoding e) {
  line += texts::kResultPrefix.in(e);
  line += texts::kResultSqrt;
}

void resultLine(std::string& line, Encoding e, int32_t no, int64_t k, std::string_view resultText) {
  resultLineStart(line, e);
  line += std::to_string(no);
  line += texts::kResultComma;
  line += std::to_string(k);
  line += texts::kResultEquals;
  line += resultText;
}

void separatorLine(std::string& line) { line += texts::kSeparator; }

namespace {

// The log's texts beyond ASCII.
constexpr const texts::Text* kLogTexts[] = {&texts::kResultPrefix, &texts::kCase1, &texts::kLimit,
                                            &texts::kCase2};

}  // namespace

std::string withLogTextsIn(std::string s, Encoding to) {
  const Encoding from = to == Encoding::big5 ? Encoding::utf8 : Encoding::big5;
  for (const texts::Text* t : kLogTexts) {
    const std::string_view form = t->in(from);
    for (std::size_t at = s.find(form); at != std::string::npos; at = s.find(form, at + 1))
      s.replace(at, form.size(), t->in(to));
  }
  return s;
}

std::optional<Encoding> encodingOf(std::string_view line) {
  for (const texts::Text* t : kLogTexts) {
    for (const Encoding e : {Encoding::big5, Encoding::utf8}) {
      const std::string_view form = t->in(e);
      const std::size_t n = std::min(form.size(), line.size());
      const bool beyondAscii = std::any_of(line.begin(), line.begin() + n,
                                           [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
      if (beyondAscii && line.substr(0, n) == form.substr(0, n)) return e;
    }
  }
  return std::nullopt;
}

}  // namespace runlog

bool StreamLineSink::put(std::string_view line) {
  os_ << line << std::endl;
  return static_cast<bool>(os_);
}

bool RunLogWriter::put() {
  const bool taken = sink_.put(line_);
  line_.clear();
  return taken;
}

bool RunLogWriter::candidate(int32_t n, std::string_view rootStrNew) {
  runlog::candidateLine(line_, n, rootStrNew);
  return put();
}

bool RunLogWriter::values(std::string_view noScaled, std::string_view x) {
  runlog::noScaledLine(line_, noScaled);
  if (!put()) return false;
  runlog::xLine(line_, x);
  return put();
}

bool RunLogWriter::decision(const Decision& d, bool debug, std::string_view noScaled,
                            std::string_view square) {
  // The limit block is part of the record, not a trace: it is written
  // whatever debug says.
  if (d.how == Case::limit) {
    runlog::limitLine(line_, encoding_);
    if (!put()) return false;
    runlog::case2Line(line_, encoding_);
    if (!put()) return false;
  } else if (debug) {
    runlog::case1Line(line_, encoding_);
    if (!put()) return false;
  } else {
    return true;
  }
  return values(noScaled, square);
}

bool RunLogWriter::result(int32_t no, int64_t k, std::string_view resultText) {
  runlog::resultLine(line_, encoding_, no, k, resultText);
  if (!put()) return false;
  runlog::separatorLine(line_);
  return put() && put();  // the separator, then an empty line
}

}  // namespace calc
