// Reading a run log back, for continuing a run and for checking a log: a line
// reader that counts bytes, and one walker over the records for both uses.
#include "calc/log_reader.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <istream>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "bigint/arbitrary.h"
#include "calc/texts.h"

namespace calc {

namespace {

using std::string_view;

constexpr int32_t kMaxNo = 2147483647;

// --- Lines ------------------------------------------------------------------------

// Reads a stream line by line through a buffer of its own, counting bytes, so
// that only the current line is ever held.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in), buffer_(1 << 16) {}
  // Reads the next line into line without its LF, keeping at most cap bytes:
  // a longer line sets over and is not read beyond them. whole: the line
  // ended in LF. Returns false when the stream holds no more bytes.
  bool next(std::string& line, std::size_t cap, bool& whole, bool& over);
  // Returns the bytes consumed, up to the end of the last line read.
  uint64_t offset() const { return offset_; }
  // Returns true when the stream failed other than by ending.
  bool failed() const { return in_.bad(); }

 private:
  bool fill();

  std::istream& in_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  uint64_t offset_ = 0;
};

bool LineReader::fill() {
  if (!in_) return false;  // ended, or failed
  in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  begin_ = 0;
  end_ = static_cast<std::size_t>(in_.gcount());
  return end_ > 0;
}

bool LineReader::next(std::string& line, std::size_t cap, bool& whole, bool& over) {
  line.clear();
  whole = over = false;
  for (bool any = false;; any = true) {
    if (begin_ == end_ && !fill()) return any;
    const char* start = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', available));
    const std::size_t size = lf ? static_cast<std::size_t>(lf - start) : available;
    const std::size_t room = cap - line.size();
    const std::size_t taken = std::min(size, room);
    line.append(start, taken);
    begin_ += taken;
    offset_ += taken;
    if (size > room) {
      over = true;
      return true;
    }
    if (lf) {
      ++begin_;
      ++offset_;
      whole = true;
      return true;
    }
  }
}

// --- Decimal texts ----------------------------------------------------------------

bool isDigits(string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Returns true for a number as values print: digits without a leading zero, or "0".
bool isNumber(string_view s) { return !s.empty() && isDigits(s) && (s[0] != '0' || s.size() == 1); }

// Compares two numbers as values print (see isNumber): -1, 0 or 1.
int compareNumbers(string_view a, string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// Returns the radicand a number denotes, if it is one (0 .. 2147483647).
std::optional<int32_t> parseNo(string_view s) {
  if (!isNumber(s) || s.size() > 10) return std::nullopt;
  int64_t v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  if (v > kMaxNo) return std::nullopt;
  return static_cast<int32_t>(v);
}

// Returns floor(sqrt(no)).
int32_t integerRoot(int32_t no) {
  int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(no)));
  while (r * r > no) --r;
  while ((r + 1) * (r + 1) <= no) ++r;
  return static_cast<int32_t>(r);
}

// Returns no * 100^k as the program keeps it: no's text and 2k zeros.
std::string scaledText(int32_t no, int64_t k) {
  return std::to_string(no) + std::string(2 * static_cast<std::size_t>(k), '0');
}

// Returns no * 100^k as a value prints: "0" for no 0.
std::string scaledValue(int32_t no, int64_t k) { return no == 0 ? "0" : scaledText(no, k); }

// Returns the square of the number a decimal text holds as a value prints,
// formed as the run forms it: two values built from the text, one multiplied
// by the other.
std::string squareText(const std::string& digits) {
  arbitrary x(digits.c_str());
  arbitrary factor(digits.c_str());
  x *= factor;
  std::ostringstream os;
  os << x;
  return os.str();
}

std::string quoted(string_view s) { return "\"" + std::string(s) + "\""; }

// --- The root ---------------------------------------------------------------------

// The long-hand method on remainders: root = floor(sqrt(no * 100^k)) and
// rest = no * 100^k - root^2, one digit further per place. A digit d is the
// next one exactly when the next rest, 100 rest - (20 root + d) d, lies in
// 0 .. 2 (10 root + d): that is (10 root + d)^2 <= no * 100^(k+1) <
// (10 root + d + 1)^2. Each step costs a few passes over the limbs, so every
// result of a log is verified in time linear in the log's size.
class RootChain {
 public:
  // Starts at place 0: root is floor(sqrt(no)).
  void start(int32_t no, int32_t root) {
    root_ = root;
    rest_ = no - root * root;
  }
  // Moves one place on with d when d is the next digit; returns whether it is.
  bool advance(int d) {
    arbitrary root, rest;
    if (!next(d, root, rest)) return false;
    root_ = root;
    rest_ = rest;
    return true;
  }
  // Returns whether d is the next digit.
  bool fits(int d) const {
    arbitrary root, rest;
    return next(d, root, rest);
  }
  // Returns the next digit.
  int nextDigit() const {
    int d = 9;
    while (d > 0 && !fits(d)) --d;
    return d;
  }

 private:
  bool next(int d, arbitrary& root, arbitrary& rest) const {
    arbitrary taken = root_;
    taken *= 20;
    taken += d;
    taken *= d;
    rest = rest_;
    rest *= 100;
    rest -= taken;
    if (rest < 0) return false;  // (10 root + d)^2 overshoots
    root = root_;
    root *= 10;
    root += d;
    arbitrary limit = root;
    limit *= 2;
    return !(rest > limit);  // else (10 root + d + 1)^2 fits too
  }

  arbitrary root_;
  arbitrary rest_;
};

// --- Expected lines ---------------------------------------------------------------

// What may follow a line's fixed start.
enum class Tail {
  none,    // nothing: the start is the whole line
  digits,  // one or more digits
  number,  // a number as values print
  digit,   // one digit
};

// What the next line must be: a fixed start, in either encoding while the
// log's encoding is not known, followed by a tail.
struct Expect {
  std::string head[2];  // head[0], or head[1] in UTF-8 when heads == 2
  int heads = 1;        // 0: no line fits (a line cannot be judged)
  Tail tail = Tail::none;
  std::string what;  // the line in words, when it is not one fixed line
};

bool tailFits(string_view s, Tail t, bool whole) {
  if (!isDigits(s)) return false;
  switch (t) {
    case Tail::none:
      return s.empty();
    case Tail::digits:
      return !whole || !s.empty();
    case Tail::number:
      return s.empty() ? !whole : s[0] != '0' || s.size() == 1;
    case Tail::digit:
      return s.size() == 1 || (!whole && s.empty());
  }
  return false;
}

// Returns which heads s fits as a bit mask (bit i: head i): a whole line, or
// when !whole the start of one.
unsigned fitting(const Expect& e, string_view s, bool whole) {
  unsigned mask = 0;
  for (int i = 0; i < e.heads; ++i) {
    const std::string& h = e.head[i];
    const bool fits = s.size() < h.size()
                          ? !whole && h.compare(0, s.size(), s) == 0
                          : s.compare(0, h.size(), h) == 0 && tailFits(s.substr(h.size()), e.tail, whole);
    if (fits) mask |= 1u << i;
  }
  return mask;
}

// --- The walker -------------------------------------------------------------------

enum class Mode { resume, check };

// Where a line stands in its place's records.
enum class Phase {
  placeStart,  // without traces: a limit block or the result line
  traceRoot,   // a candidate trace: " n = " n ", rootStrNew= " ...
  traceNoScaled,
  traceX,
  case1,  // the case-1 trace: "(1) x > noScaled ..."
  case1NoScaled,
  case1X,
  limit,  // the limit block: "===...===", "(2) ...", noScaled, x
  case2,
  limitNoScaled,
  limitX,
  result,  // the result record: result line, separator, empty line
  separator,
  empty,
};

// Follows a log line by line through the records a run writes, holding only
// the current place's values. In check mode it learns no, debug, the encoding
// and the line ends from the first lines that show them and verifies every
// value; in resume mode they are given and only the values of the last whole
// place are verified, once it is known to be the last.
class Walker {
 public:
  Walker(Mode mode, LogReading& reading) : mode_(mode), r_(reading) {}
  // Takes the facts a resumed run writes with.
  void expect(const ResumeExpectation& run);
  // Returns the most bytes a line of the current place can hold.
  std::size_t cap() const { return 2 * rootStr_.size() + 256; }
  // Takes the next line (its bytes without LF; whole: it had its LF; over:
  // it was cut at cap()); end is the offset after it. Returns false when a
  // problem ends the reading.
  bool take(const std::string& raw, bool whole, bool over, uint64_t end);
  // Ends the reading at the end of the stream: the deferred checks.
  void finish();

 private:
  struct PendingX {
    int64_t line;      // the x line's number
    std::string root;  // the candidate whose square it shows
    std::string x;     // the value it shows
  };

  Expect expectation(bool complete) const;
  bool learnNo(string_view content, bool complete);
  bool setNo(int32_t no);
  bool advance(string_view content, uint64_t end);
  bool completePlace(uint64_t end);
  std::string resultLine(int digit) const;
  bool fail(LogProblem problem);
  std::optional<LogProblem> verifyLastWhole();

  Mode mode_;
  LogReading& r_;
  int64_t length_ = std::numeric_limits<int64_t>::max();
  Phase phase_ = Phase::placeStart;
  bool fromStart_ = false;  // the line was a place's start: a limit block or a result could be there
  int64_t line_ = 0;        // the current line's number
  int64_t k_ = 1;           // the place being read
  int n_ = 0;               // the candidate being traced
  int digit_ = -1;          // the place's digit, once its lines tell it
  std::string rootStr_;     // the root's digits before place k
  std::string resultText_;  // the printed root before place k
  std::string noScaled_;    // no * 100^k as it prints
  std::string xPrev_;       // x of the previous candidate
  std::string xCur_;        // x of the current candidate
  int64_t xPrevLine_ = 0;   // the line numbers of both
  int64_t xCurLine_ = 0;
  RootChain chain_;
  std::vector<PendingX> pending_;       // resume: the x lines of place k
  std::vector<PendingX> pendingWhole_;  // resume: the x lines of place K, verified at the end
  bool wholeVerified_ = true;
  int64_t resultLine_ = 0;      // the line number of place k's result line
  int64_t lastResultLine_ = 0;  // ... of place K's
  int64_t placeLine_ = 0;       // the line number of place k's first line
  std::string placeFirst_;      // ... and its bytes
  // Check mode, before no is known: the first line of place 1 (a trace or a
  // limit line), verified once a later line shows no.
  int64_t earlyLine_ = 0;
  std::string early_;
};

void Walker::expect(const ResumeExpectation& run) {
  assert(run.no >= 0 && "a radicand of 0 .. 2147483647");
  r_.debug = run.debug;
  r_.encoding = run.encoding;
  r_.lineEnd = run.lineEnd;
  length_ = std::max<int64_t>(run.length, 0);
  phase_ = run.debug ? Phase::traceRoot : Phase::placeStart;
  setNo(run.no);
}

bool Walker::setNo(int32_t no) {
  r_.no = no;
  const int32_t root = integerRoot(no);
  rootStr_ = std::to_string(root);
  resultText_ = rootStr_ + texts::kPoint;
  chain_.start(no, root);
  noScaled_ = scaledValue(no, k_);
  if (earlyLine_ == 0) return true;
  if (*r_.debug) {
    const std::string first = std::string(texts::kTraceN) + "0" + texts::kTraceRootStrNew + rootStr_ + "0";
    if (early_ != first) return fail({earlyLine_, early_, first, true});
  } else if (!chain_.fits(9)) {
    return fail({earlyLine_, early_, resultLine(chain_.nextDigit()), true});
  }
  return true;
}

// Learns no from the first line that shows it, before no is known: a
// noScaled line of place 1 (no * 100) or the result line of place 1.
bool Walker::learnNo(string_view content, bool complete) {
  std::optional<int32_t> no;
  if (phase_ == Phase::result) {
    for (Encoding e : {Encoding::big5, Encoding::utf8}) {
      if (r_.encoding && *r_.encoding != e) continue;
      const std::string head = std::string(texts::kResultPrefix.in(e)) + texts::kResultSqrt;
      if (content.compare(0, head.size(), head) != 0) continue;
      const string_view rest = content.substr(head.size());
      const std::size_t comma = rest.find(',');  // no ends at the comma before the place
      if (comma != string_view::npos) no = parseNo(rest.substr(0, comma));
    }
  } else if ((phase_ == Phase::traceNoScaled || phase_ == Phase::limitNoScaled) && complete &&
             content.compare(0, std::strlen(texts::kNoScaledLabel), texts::kNoScaledLabel) == 0) {
    const string_view value = content.substr(std::strlen(texts::kNoScaledLabel));
    if (value == "0") {
      no = 0;
    } else if (value.size() > 2 && value.substr(value.size() - 2) == "00") {
      no = parseNo(value.substr(0, value.size() - 2));
      if (no == 0) no.reset();
    }
  }
  return !no || setNo(*no);
}

std::string Walker::resultLine(int digit) const {
  std::string line = std::string(texts::kResultPrefix.in(r_.encoding.value_or(Encoding::big5))) +
                     texts::kResultSqrt + std::to_string(r_.no.value_or(0)) + texts::kResultComma +
                     std::to_string(k_) + texts::kResultEquals + resultText_;
  if (digit >= 0) line += static_cast<char>('0' + digit);
  return line;
}

Expect Walker::expectation(bool complete) const {
  Expect e;
  const auto literal = [&](const texts::Text& t) {
    if (r_.encoding) {
      e.head[0] = t.in(*r_.encoding);
    } else {
      e.head[0] = t.big5;
      e.head[1] = t.utf8;
      e.heads = 2;
      e.what = quoted(t.utf8) + " (in Big5 or UTF-8)";
    }
  };
  const std::string candidate = rootStr_ + static_cast<char>('0' + n_);
  const std::string k = std::to_string(k_);
  switch (phase_) {
    case Phase::traceRoot:
      e.head[0] = std::string(texts::kTraceN) + std::to_string(n_) + texts::kTraceRootStrNew;
      if (r_.no) {
        e.head[0] += candidate;
      } else {
        e.tail = Tail::digits;
        e.what = quoted(e.head[0]) + " and the integer part of the root followed by 0";
      }
      break;
    case Phase::traceNoScaled:
    case Phase::case1NoScaled:
    case Phase::limitNoScaled:
      e.head[0] = texts::kNoScaledLabel;
      if (r_.no) {
        e.head[0] += noScaled_;
      } else {
        e.tail = Tail::number;
        e.what = quoted(e.head[0]) + " and no * 100, for a no from 0 to 2147483647";
        if (complete) e.heads = 0;  // learnNo found no no in it
      }
      break;
    case Phase::traceX:
      e.head[0] = texts::kXLabel;
      if (mode_ == Mode::check) {
        e.head[0] += squareText(candidate);
      } else {
        e.tail = Tail::number;
        e.what = quoted(e.head[0]) + " and the square of " + candidate;
      }
      break;
    case Phase::case1X:
      e.head[0] = texts::kXLabel + xPrev_;
      break;
    case Phase::limitX:
      e.head[0] = texts::kXLabel;
      if (*r_.debug) {
        e.head[0] += xCur_;
      } else if (mode_ == Mode::check) {
        e.head[0] += squareText(rootStr_ + "9");
      } else {
        e.tail = Tail::number;
        e.what = quoted(e.head[0]) + " and the square of " + rootStr_ + "9";
      }
      break;
    case Phase::case1:
      literal(texts::kCase1);
      break;
    case Phase::limit:
      literal(texts::kLimit);
      break;
    case Phase::case2:
      literal(texts::kCase2);
      break;
    case Phase::result: {
      const std::string place = "the result line of place " + k;
      if (!r_.no) {
        literal(texts::kResultPrefix);
        for (int i = 0; i < e.heads; ++i) e.head[i] += texts::kResultSqrt;
        e.tail = Tail::number;
        e.what = place + ": " + quoted(e.head[e.heads - 1]) + " and no, then \", 1) = \" and the root";
        if (complete) e.heads = 0;  // learnNo found no no in it
      } else {
        const std::string rest = std::string(texts::kResultSqrt) + std::to_string(*r_.no) +
                                 texts::kResultComma + k + texts::kResultEquals + resultText_ +
                                 (digit_ >= 0 ? std::string(1, static_cast<char>('0' + digit_)) : "");
        literal(texts::kResultPrefix);
        for (int i = 0; i < e.heads; ++i) e.head[i] += rest;
        if (digit_ < 0) {
          e.tail = Tail::digit;
          e.what = place + ": " + quoted(e.head[e.heads - 1]) + " and one digit";
        } else if (e.heads == 2) {
          e.what = place + ": " + quoted(e.head[1]) + " (in Big5 or UTF-8)";
        }
      }
      if (fromStart_) {
        e.what +=
            ", or a limit block (" + quoted(texts::kLimit.in(r_.encoding.value_or(Encoding::utf8))) + ")";
      }
      break;
    }
    case Phase::separator:
      e.head[0] = texts::kSeparator;
      break;
    case Phase::empty:
    case Phase::placeStart:
      break;
  }
  return e;
}

bool Walker::fail(LogProblem problem) {
  // A problem after place K: place K's deferred checks come from earlier lines.
  if (auto earlier = verifyLastWhole()) problem = std::move(*earlier);
  r_.problem = std::move(problem);
  return false;
}

std::optional<LogProblem> Walker::verifyLastWhole() {
  if (wholeVerified_) return std::nullopt;
  wholeVerified_ = true;
  for (const PendingX& p : pendingWhole_) {
    const std::string square = squareText(p.root);
    if (square != p.x) return LogProblem{p.line, texts::kXLabel + p.x, texts::kXLabel + square, true};
  }
  return std::nullopt;
}

bool Walker::take(const std::string& raw, bool whole, bool over, uint64_t end) {
  r_.lines = ++line_;
  r_.bytes = end;
  string_view content(raw);
  bool complete = whole;  // the line's bytes are all there (its LF may be missing)
  bool endWrong = false;
  const bool cr = !content.empty() && content.back() == '\r';
  if (whole && !over) {
    if (!r_.lineEnd) r_.lineEnd = cr ? LineEnd::crLf : LineEnd::lf;
    endWrong = cr != (*r_.lineEnd == LineEnd::crLf);
    if (cr) content.remove_suffix(1);
  } else if (cr && !over && r_.lineEnd != LineEnd::lf) {
    r_.lineEnd = LineEnd::crLf;  // a CR LF line without its LF
    content.remove_suffix(1);
    complete = true;
  }
  if (!r_.debug) r_.debug = !content.empty() && content[0] == ' ';  // only a trace starts with a space
  if (phase_ == Phase::placeStart) {
    if (*r_.debug) {
      phase_ = Phase::traceRoot;
    } else {
      // Without traces a place starts with a limit block ("===...") or its result line.
      phase_ = !content.empty() && content[0] == '=' ? Phase::limit : Phase::result;
      fromStart_ = true;
    }
  }
  if (fromStart_ || (phase_ == Phase::traceRoot && n_ == 0)) {
    placeLine_ = line_;
    placeFirst_.assign(content);
  }
  if (!r_.no && !learnNo(content, complete)) return false;

  const Expect e = expectation(complete || over);
  const string_view held = endWrong ? string_view(raw) : content;
  unsigned mask = over ? 0 : fitting(e, content, complete);
  if (mask == 0) {
    std::string what = e.what;
    const bool isLine = e.heads == 1 && e.tail == Tail::none && what.empty();
    const bool acceptedX =
        mode_ == Mode::resume && (phase_ == Phase::case1X || (phase_ == Phase::limitX && *r_.debug));
    if (acceptedX) {
      // The accepted candidate's trace shows another square: unverified so
      // far, it may be the wrong one of the two.
      const bool limit = phase_ == Phase::limitX;
      const std::string& x = limit ? xCur_ : xPrev_;
      const std::string square = squareText(rootStr_ + static_cast<char>('0' + digit_));
      if (square != x)
        return fail({limit ? xCurLine_ : xPrevLine_, texts::kXLabel + x, texts::kXLabel + square, true});
    }
    if (phase_ == Phase::limit && fromStart_) {
      // Not a limit block: say what else the run writes at a place's start.
      phase_ = Phase::result;
      what = expectation(false).what;
      return fail({line_, std::string(held), what, false});
    }
    return fail({line_, std::string(held), isLine ? e.head[0] : what, isLine});
  }
  if (e.heads == 2 && mask != 3) r_.encoding = mask == 1 ? Encoding::big5 : Encoding::utf8;
  if (endWrong) {
    const char* want = *r_.lineEnd == LineEnd::crLf ? "CR LF" : "LF";
    return fail({line_, raw, "the same line ended by " + std::string(want), false});
  }
  fromStart_ = false;
  if (!whole) return true;  // the unfinished last line: place K + 1 was begun
  return advance(content, end);
}

bool Walker::advance(string_view content, uint64_t end) {
  const std::size_t label = std::strlen(texts::kXLabel);
  switch (phase_) {
    case Phase::traceRoot:
      if (!r_.no) {
        earlyLine_ = line_;
        early_.assign(content);
      }
      phase_ = Phase::traceNoScaled;
      break;
    case Phase::traceNoScaled:
      phase_ = Phase::traceX;
      break;
    case Phase::traceX: {
      const string_view x = content.substr(label);
      const std::string candidate = rootStr_ + static_cast<char>('0' + n_);
      if (mode_ == Mode::resume) pending_.push_back({line_, candidate, std::string(x)});
      xPrev_.swap(xCur_);
      xCur_.assign(x);
      xPrevLine_ = std::exchange(xCurLine_, line_);
      const int order = compareNumbers(x, noScaled_);
      // The run's decision for this candidate, from the square it shows: a
      // square above the scaled radicand ends the place with the digit before
      // it; 9 with a square below it ends the place with 9.
      if (order > 0 && n_ > 0) {
        digit_ = n_ - 1;
        phase_ = Phase::case1;
      } else if (order < 0 && n_ == 9) {
        digit_ = 9;
        phase_ = Phase::limit;
      } else if (order <= 0 && n_ < 9) {
        ++n_;
        phase_ = Phase::traceRoot;
      } else {
        // The square of candidate 0 cannot exceed no * 100^k (the root so far
        // is exact), nor can that of 9 equal it (its root would end in 0).
        return fail({line_, std::string(content),
                     quoted(texts::kXLabel) + " and the square of " + candidate + ", which is " +
                         (order > 0 ? "at most " : "not ") + noScaled_,
                     false});
      }
      break;
    }
    case Phase::case1:
      phase_ = Phase::case1NoScaled;
      break;
    case Phase::case1NoScaled:
      phase_ = Phase::case1X;
      break;
    case Phase::case1X:
      phase_ = Phase::result;
      break;
    case Phase::limit:
      if (!*r_.debug) {
        digit_ = 9;
        if (!r_.no) {
          earlyLine_ = line_;
          early_.assign(content);
        } else if (!chain_.fits(9)) {
          // The root's next digit is not 9: the run writes its result line here.
          return fail({line_, std::string(content), resultLine(chain_.nextDigit()), true});
        }
      }
      phase_ = Phase::case2;
      break;
    case Phase::case2:
      phase_ = Phase::limitNoScaled;
      break;
    case Phase::limitNoScaled:
      phase_ = Phase::limitX;
      break;
    case Phase::limitX:
      if (mode_ == Mode::resume && !*r_.debug) {
        pending_.push_back({line_, rootStr_ + "9", std::string(content.substr(label))});
      }
      phase_ = Phase::result;
      break;
    case Phase::result: {
      const int d = content.back() - '0';
      resultLine_ = line_;
      // Without traces a 9 comes only after its limit block; any digit must
      // be the root's next one.
      const bool digitFits = (digit_ >= 0 || d != 9) && chain_.advance(d);
      if (!digitFits) {
        const int right = chain_.nextDigit();
        const bool limitMissing = right == 9 && digit_ < 0;
        return fail(
            {line_, std::string(content),
             limitMissing ? texts::kLimit.in(r_.encoding.value_or(Encoding::big5)) : resultLine(right),
             true});
      }
      digit_ = d;
      phase_ = Phase::separator;
      break;
    }
    case Phase::separator:
      phase_ = Phase::empty;
      break;
    case Phase::empty:
      return completePlace(end);
    case Phase::placeStart:
      break;
  }
  return true;
}

bool Walker::completePlace(uint64_t end) {
  rootStr_ += static_cast<char>('0' + digit_);
  resultText_ += static_cast<char>('0' + digit_);
  r_.places = k_;
  r_.cutOffset = end;
  pendingWhole_.swap(pending_);
  pending_.clear();
  wholeVerified_ = mode_ == Mode::check;
  lastResultLine_ = resultLine_;
  earlyLine_ = 0;
  if (k_ > length_) {
    // Place length + 1 is the first thing the run does not write.
    const std::string places = std::to_string(length_) + (length_ == 1 ? " place" : " places");
    r_.problem = LogProblem{placeLine_, placeFirst_, "the end of the log: the run asks for " + places, false};
    return false;
  }
  ++k_;
  n_ = 0;
  digit_ = -1;
  xPrev_.clear();
  xCur_.clear();
  noScaled_ = scaledValue(*r_.no, k_);
  phase_ = *r_.debug ? Phase::traceRoot : Phase::placeStart;
  return true;
}

void Walker::finish() {
  r_.unfinished = r_.bytes > r_.cutOffset;
  if (r_.problem) return;
  if (auto problem = verifyLastWhole()) {
    r_.problem = std::move(problem);
    return;
  }
  if (!r_.no) return;
  const std::string noScaled = scaledText(*r_.no, r_.places);
  if (r_.places > 0) {
    // The last root from its text: r^2 <= no * 100^K < (r + 1)^2.
    const arbitrary scaled(noScaled.c_str());
    arbitrary square(rootStr_.c_str());
    arbitrary factor(rootStr_.c_str());
    arbitrary next = factor;
    square *= factor;
    const bool notAbove = !(square > scaled);
    next *= 2;
    next += 1;
    square += next;  // (r + 1)^2 = r^2 + 2r + 1
    if (!(notAbove && square > scaled)) {
      const int64_t k = r_.places;
      r_.problem = LogProblem{lastResultLine_,
                              std::string(texts::kResultPrefix.in(*r_.encoding)) + texts::kResultSqrt +
                                  std::to_string(*r_.no) + texts::kResultComma + std::to_string(k) +
                                  texts::kResultEquals + resultText_,
                              "a root r with r^2 <= no * 100^" + std::to_string(k) + " < (r + 1)^2", false};
      return;
    }
  }
  r_.texts = RootTexts{noScaled, rootStr_, resultText_};
}

// Reads in with walker to the end or to the first problem.
LogReading walk(std::istream& in, Walker& walker, LogReading& reading) {
  LineReader lines(in);
  std::string line;
  bool whole = false;
  bool over = false;
  while (lines.next(line, walker.cap(), whole, over)) {
    if (!walker.take(line, whole, over, lines.offset())) break;
  }
  reading.readFailed = lines.failed();
  walker.finish();
  return reading;
}

}  // namespace

LogReading readLogForResume(std::istream& in, const ResumeExpectation& run) {
  LogReading reading;
  Walker walker(Mode::resume, reading);
  walker.expect(run);
  return walk(in, walker, reading);
}

LogReading checkLog(std::istream& in) {
  LogReading reading;
  Walker walker(Mode::check, reading);
  return walk(in, walker, reading);
}

std::string checkSummary(const std::string& path, const LogReading& reading) {
  std::string s = path + ":";
  if (reading.no) s += " no " + std::to_string(*reading.no) + ",";
  if (reading.debug) s += std::string(" debug ") + (*reading.debug ? "1" : "0") + ",";
  if (reading.encoding) s += *reading.encoding == Encoding::utf8 ? " UTF-8," : " Big5,";
  if (reading.lineEnd) s += *reading.lineEnd == LineEnd::crLf ? " CR LF," : " LF,";
  s += " " + std::to_string(reading.places) + (reading.places == 1 ? " whole place" : " whole places");
  if (reading.unfinished) {
    s += ", then an unfinished place " + std::to_string(reading.places + 1) + " (--resume continues it)";
  }
  return s;
}

std::string shortened(const std::string& line, std::size_t max) {
  return line.size() <= max ? line : line.substr(0, max) + "...";
}

}  // namespace calc
