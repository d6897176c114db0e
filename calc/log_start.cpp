// The run a log belongs to, found from its first lines: the facts they show,
// and for a log that ends before it shows its no, a no that fits it.
#include "calc/log_start.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "calc/run_log.h"
#include "calc/square_chain.h"
#include "calc/texts.h"

namespace calc {

namespace {

using std::string_view;

constexpr int64_t kMaxNo = 2147483647;

// A line of the log's start: its bytes without the line end; complete when
// its line end was there (its LF, or in a CR LF log its CR).
struct Line {
  string_view content;
  bool complete;
};

bool isDigits(string_view s) {
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Returns the number s denotes as values print it (no leading zero), if it
// is one up to most.
std::optional<int64_t> numberOf(string_view s, int64_t most) {
  if (s.empty() || s.size() > 10 || !isDigits(s) || (s[0] == '0' && s.size() > 1)) return std::nullopt;
  int64_t v = 0;
  for (const char c : s) v = v * 10 + (c - '0');
  if (v > most) return std::nullopt;
  return v;
}

// Returns whether text is a start of whole, or whole a start of text.
bool alongside(string_view text, string_view whole) {
  const std::size_t n = std::min(text.size(), whole.size());
  return text.substr(0, n) == whole.substr(0, n);
}

// What the first decimal must be: any, 9 (a log that starts with a limit
// block), or not 9 (one that starts with its result line).
enum class First { any, nine, notNine };

// Returns the smallest radicand in from .. to whose first decimal is as first
// says, if there is one. The radicands of root r whose first decimal is 9
// are those from (10r + 9)^2 / 100, rounded up, to (r + 1)^2 - 1.
std::optional<int64_t> firstFitting(int64_t from, int64_t to, First first) {
  if (from > to) return std::nullopt;
  if (first == First::any) return from;
  for (int64_t r = SquareChain::integerRoot(static_cast<int32_t>(from)); r * r <= to; ++r) {
    const int64_t nines = ((10 * r + 9) * (10 * r + 9) + 99) / 100;
    const int64_t lo = std::max(from, first == First::nine ? nines : r * r);
    const int64_t hi = std::min(to, first == First::nine ? (r + 1) * (r + 1) - 1 : nines - 1);
    if (lo <= hi) return lo;
  }
  return std::nullopt;
}

// Returns the smallest radicand in lo .. hi whose text starts with prefix
// (scaled: whose noScaled value at place 1, no and "00", starts with it) and
// whose first decimal is as first says; nothing when there is none.
std::optional<int32_t> fittingNo(string_view prefix, bool scaled, int64_t lo, int64_t hi, First first) {
  // 0 prints as "0", whatever place.
  if ((prefix.empty() || prefix == "0") && lo == 0 && first != First::nine) return 0;
  if (!isDigits(prefix) || (!prefix.empty() && prefix[0] == '0')) return std::nullopt;
  int64_t power = 1;  // 10^(L - 1)
  for (std::size_t length = 1; length <= 10; ++length, power *= 10) {
    int64_t from = power;
    int64_t to = power * 10 - 1;
    if (prefix.size() <= length) {
      int64_t scale = 1;
      for (std::size_t i = prefix.size(); i < length; ++i) scale *= 10;
      const int64_t head = prefix.empty() ? 0 : *numberOf(prefix, INT64_MAX);
      if (!prefix.empty()) from = head * scale, to = (head + 1) * scale - 1;
    } else if (scaled && prefix.size() <= length + 2 &&
               prefix.substr(length).find_first_not_of('0') == string_view::npos) {
      from = to = *numberOf(prefix.substr(0, length), INT64_MAX);
    } else {
      continue;
    }
    if (const auto no = firstFitting(std::max(from, lo), std::min({to, hi, kMaxNo}), first))
      return static_cast<int32_t>(*no);
  }
  return std::nullopt;
}

// Returns the words for what a run's first line is, in the log's texts.
std::string firstLineWords() {
  return std::string("a run's first line: a result line (\"") + texts::kResultPrefix.utf8 +
         texts::kResultSqrt + "\" and no, \", 1) = \" and the root), a limit block (\"" + texts::kLimit.utf8 +
         "\") or a candidate trace (\"" + texts::kTraceN + "0" + texts::kTraceRootStrNew +
         "\" and the root followed by 0), in Big5 or UTF-8";
}

// Returns the value a noScaled line shows, or what of it the line holds; nothing when it is no such line.
std::optional<string_view> noScaledValue(const Line& line) {
  std::string label;
  runlog::noScaledLine(label, "");
  if (!alongside(line.content, label)) return std::nullopt;
  return line.content.substr(std::min(label.size(), line.content.size()));
}

// Returns no from the whole value of a noScaled line at place 1: no * 100.
std::optional<int32_t> noOfScaled(string_view value) {
  if (value == "0") return 0;
  if (value.size() < 3 || value.substr(value.size() - 2) != "00") return std::nullopt;
  const auto no = numberOf(value.substr(0, value.size() - 2), kMaxNo);
  if (!no || *no == 0) return std::nullopt;
  return static_cast<int32_t>(*no);
}

// Finds no in a traced log: from its second line (the noScaled value of
// candidate 0), else one that fits the first line's root and what the
// second holds. Returns false when the first line is no run's.
bool findTracedNo(const std::vector<Line>& lines, LogStart& s, int32_t& no) {
  std::string start;
  runlog::candidateLine(start, 0, "");
  const Line& first = lines[0];
  if (!alongside(first.content, start)) return false;
  const string_view root = first.content.substr(std::min(start.size(), first.content.size()));
  if (!isDigits(root)) return false;
  const std::optional<string_view> value = lines.size() > 1 ? noScaledValue(lines[1]) : string_view("");
  if (value && lines.size() > 1 && lines[1].complete) {
    if (const auto shown = noOfScaled(*value)) return s.no = no = *shown, true;
  }
  // The root is r followed by the digit 0; of an unfinished line, a start of it.
  std::optional<int64_t> r = first.complete && !root.empty() && root.back() == '0'
                                 ? numberOf(root.substr(0, root.size() - 1), 46340)
                                 : std::nullopt;
  if (!first.complete) {
    r = root.empty() ? 0 : numberOf(root, 46340);
    if (!r && root.size() > 1 && root.back() == '0') r = numberOf(root.substr(0, root.size() - 1), 46340);
  }
  if (!r) return false;
  const auto fitting = fittingNo(value.value_or(""), true, *r * *r, (*r + 1) * (*r + 1) - 1, First::any);
  no = fitting.value_or(static_cast<int32_t>(*r * *r));
  return true;
}

// Finds no in a log without traces: from its first result line, or from the
// noScaled value of the limit block it starts with; else one that fits what
// they hold. Returns false when the first line is no run's.
bool findPlainNo(const std::vector<Line>& lines, LogStart& s, int32_t& no) {
  const Line& first = lines[0];
  for (const Encoding e : {Encoding::big5, Encoding::utf8}) {
    std::string start;
    runlog::resultLineStart(start, e);
    if (alongside(first.content, start)) {
      const string_view rest = first.content.substr(std::min(start.size(), first.content.size()));
      const std::size_t comma = rest.find(',');
      if (comma != string_view::npos) {
        if (const auto shown = numberOf(rest.substr(0, comma), kMaxNo)) return s.no = no = *shown, true;
      }
      const auto fitting =
          fittingNo(rest.substr(0, rest.find_first_not_of("0123456789")), false, 0, kMaxNo, First::notNine);
      return no = fitting.value_or(0), true;
    }
    std::string limit;
    runlog::limitLine(limit, e);
    if (alongside(first.content, limit)) {
      const std::optional<string_view> value = lines.size() > 2 ? noScaledValue(lines[2]) : string_view("");
      if (value && lines.size() > 2 && lines[2].complete) {
        if (const auto shown = noOfScaled(*value)) return s.no = no = *shown, true;
      }
      return no = fittingNo(value.value_or(""), true, 0, kMaxNo, First::nine).value_or(99), true;
    }
  }
  return false;
}

}  // namespace

LogStart findRun(string_view start) {
  LogStart s;
  if (start.empty()) return s;
  std::vector<Line> lines;
  for (std::size_t at = 0; at < start.size();) {
    const std::size_t lf = start.find('\n', at);
    const bool whole = lf != string_view::npos;
    lines.push_back({start.substr(at, (whole ? lf : start.size()) - at), whole});
    at = whole ? lf + 1 : start.size();
  }
  // The line ends: the first whole line's; a CR LF line without its LF counts
  // for the replay, not as shown.
  const bool crLf = lines[0].content.back() == '\r';
  if (lines[0].complete) s.lineEnd = crLf ? LineEnd::crLf : LineEnd::lf;
  for (Line& line : lines) {
    if (crLf && !line.content.empty() && line.content.back() == '\r') {
      line.content.remove_suffix(1);
      line.complete = true;
    }
  }
  // Only a candidate trace starts with a space.
  s.debug = start[0] == ' ';
  for (const Line& line : lines) {
    const bool beyondAscii = std::any_of(line.content.begin(), line.content.end(),
                                         [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (!beyondAscii) continue;
    s.encoding = runlog::encodingOf(line.content);
    break;
  }
  int32_t no = 0;
  if (!(*s.debug ? findTracedNo(lines, s, no) : findPlainNo(lines, s, no))) {
    std::string holds(lines[0].content);
    s.problem = LogProblem{1, holds, firstLineWords(), Mismatch::words};
    return s;
  }
  s.run = ResumeExpectation{no, *s.debug, s.encoding.value_or(Encoding::big5),
                            crLf ? LineEnd::crLf : LineEnd::lf};
  return s;
}

}  // namespace calc
