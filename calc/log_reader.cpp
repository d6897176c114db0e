// Reading a run log back: a line reader that counts bytes, a sink that holds
// each line a replayed run writes against the log's next line, and the replay.
#include "calc/log_reader.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <string_view>
#include <vector>

#include "calc/digit_loop.h"
#include "calc/log_start.h"
#include "calc/square_chain.h"

namespace calc {

namespace {

using std::string_view;

// Reads a stream line by line through a buffer of its own, counting bytes, so
// that only the current line is ever held.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in), buffer_(1 << 16) {}
  // Returns the stream's first bytes (up to the buffer's size) without
  // consuming them. Precondition: nothing has been read yet.
  string_view start() {
    if (begin_ == end_) fill();
    return {buffer_.data() + begin_, end_ - begin_};
  }
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

// Returns whether text starts with start.
bool startsWith(string_view text, string_view start) { return text.substr(0, start.size()) == start; }

// Holds each line a replayed run writes against the log's next line: takes it
// when the two are the same, bytes and line end; stops at the first that is
// not, noting the problem, and at the log's end, where an unfinished last
// line must be a start of the line that belongs there.
class LogComparer final : public LineSink {
 public:
  LogComparer(LineReader& lines, const ResumeExpectation& run, LogReading& reading)
      : lines_(lines), run_(run), r_(reading) {}

  bool put(string_view expected) override;

  // Notes that place k is whole: the log may be cut after it.
  void placeDone(int64_t k) {
    r_.places = k;
    r_.cutOffset = lines_.offset();
    placeLine_ = r_.lines + 1;
  }
  // Refuses the place just read whole, one more than the run asks for.
  void refusePlace() {
    const int64_t asked = r_.places;
    const std::string places = std::to_string(asked) + (asked == 1 ? " place" : " places");
    problem({placeLine_, placeFirst_, "the end of the log: the run asks for " + places, Mismatch::words});
  }

 private:
  bool problem(LogProblem p) {
    p.encoding = run_.encoding;
    p.lineEnd = run_.lineEnd;
    r_.problem = std::move(p);
    stopped_ = true;
    return false;
  }

  LineReader& lines_;
  const ResumeExpectation& run_;
  LogReading& r_;
  bool stopped_ = false;
  std::string raw_;         // the log's line being compared
  std::string full_;        // the line that belongs there, with its line end but the LF
  int64_t placeLine_ = 1;   // the number of the current place's first line
  std::string placeFirst_;  // ... and its bytes
};

bool LogComparer::put(string_view expected) {
  if (stopped_) return false;
  bool whole = false;
  bool over = false;
  // Room for the expected line, its CR and enough more to show what differs.
  if (!lines_.next(raw_, expected.size() + 82, whole, over)) {
    stopped_ = true;  // the log ends after its last whole line
    return false;
  }
  r_.lines += 1;
  r_.bytes = lines_.offset();
  const bool crLf = run_.lineEnd == LineEnd::crLf;
  full_.assign(expected);
  if (crLf) full_ += '\r';
  if (whole && raw_ == full_) {
    if (r_.lines == placeLine_) placeFirst_ = expected;
    return true;
  }
  if (!whole && !over && startsWith(full_, raw_)) {
    stopped_ = true;  // an unfinished last line, a start of the one that belongs there
    return false;
  }

  // What the line is, if not the one that belongs there: that line with the
  // other line end, or in the other encoding.
  const string_view content = crLf && !raw_.empty() && raw_.back() == '\r'
                                  ? string_view(raw_).substr(0, raw_.size() - 1)
                                  : string_view(raw_);
  const std::string other = runlog::withLogTextsIn(
      std::string(expected), run_.encoding == Encoding::big5 ? Encoding::utf8 : Encoding::big5);
  Mismatch kind = Mismatch::line;
  if (!over && (raw_ == expected || raw_ == std::string(expected) + '\r')) {
    kind = Mismatch::lineEnd;
  } else if (other != expected && (whole ? content == other : startsWith(other, content))) {
    kind = Mismatch::encoding;
  }
  return problem({r_.lines, std::string(kind == Mismatch::lineEnd ? string_view(raw_) : content),
                  std::string(expected), kind});
}

}  // namespace

namespace {

// Reads in for run from its first line, the run replayed: the digit loop with
// the judges of a square chain writes each line into a comparer. Fills in
// reading, whose facts are run's.
void replay(LineReader& lines, const ResumeExpectation& run, LogReading& reading) {
  const std::string no = std::to_string(run.no);
  const std::string root = std::to_string(SquareChain::integerRoot(run.no));
  RootTexts texts{no, root, root + "."};
  std::size_t rootSize = texts.rootStr.size();
  const int64_t asked = std::max<int64_t>(run.length, 0);
  // One place more than the run asks for: a log that holds it whole is refused.
  const int64_t last = asked == std::numeric_limits<int64_t>::max() ? asked : asked + 1;
  SquareChain chain(run.no, run.debug);
  LogComparer comparer(lines, run, reading);
  digitLoop({run.no, 1, last, run.debug, run.encoding}, comparer, texts, chain, [&](int64_t k) {
    if (k > asked) return comparer.refusePlace();
    comparer.placeDone(k);
    rootSize = texts.rootStr.size();
  });
  reading.readFailed = lines.failed();
  reading.unfinished = reading.bytes > reading.cutOffset;
  // The texts after place K: the loop may have begun place K + 1.
  texts.rootStr.resize(rootSize);
  texts.resultText = texts.rootStr.substr(0, root.size()) + "." + texts.rootStr.substr(root.size());
  texts.noScaled = no + std::string(2 * static_cast<std::size_t>(reading.places), '0');
  reading.texts = std::move(texts);
}

}  // namespace

LogReading readLogForResume(std::istream& in, const ResumeExpectation& run) {
  LogReading reading;
  reading.no = run.no;
  reading.debug = run.debug;
  reading.encoding = run.encoding;
  reading.lineEnd = run.lineEnd;
  LineReader lines(in);
  replay(lines, run, reading);
  return reading;
}

LogReading checkLog(std::istream& in) {
  LogReading reading;
  LineReader lines(in);
  const LogStart start = findRun(lines.start());
  if (start.problem) {
    reading.problem = start.problem;
  } else if (start.run) {
    replay(lines, *start.run, reading);
  }
  reading.readFailed = reading.readFailed || lines.failed();
  // What the log shows of its run; a fact its first lines leave open is not told.
  reading.no = start.no;
  reading.debug = start.debug;
  reading.encoding = start.encoding;
  reading.lineEnd = start.lineEnd;
  if (!start.no) reading.texts = {};
  return reading;
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
