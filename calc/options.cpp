// The command line: the options a run accepts, its usage text and version.
#include "calc/options.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "bigint/limb_loops.h"
#include "calc/thread_pool.h"

namespace calc {

namespace {

// The usage, in ASCII so that any terminal shows it.
constexpr char kUsage[] =
    "Usage: longsqrt [--big5 | --utf8] [--log FILE] [--resume] [--threads N]\n"
    "       longsqrt [OPTION]... [--debug] NO LENGTH\n"
    "       longsqrt --check [--log FILE]\n"
    "       longsqrt --help | --version\n"
    "\n"
    "Computes the square root of an integer from 0 to 2147483647 to as many\n"
    "decimal places as asked, digit by digit, and writes every step to log.txt\n"
    "in the current folder (or FILE). Without NO and LENGTH it asks three\n"
    "questions on the console:\n"
    "  debug    1 logs every candidate digit too, 0 only the results\n"
    "  no       the integer\n"
    "  length   the number of decimal places\n"
    "Given NO and LENGTH (and --debug for the answer 1), it asks nothing, writes\n"
    "the same log and prints the root alone on one line: longsqrt 2 1000\n"
    "Its log is Big5 (Traditional Chinese), and so are its console texts, except\n"
    "on a terminal whose locale is UTF-8 or ASCII (C, POSIX, or none set): that\n"
    "terminal gets them in UTF-8.\n"
    "\n"
    "Options:\n"
    "  --big5      write every text in Big5, on a UTF-8 terminal too (for luit)\n"
    "  --utf8      write the console texts and the log in UTF-8 instead of Big5\n"
    "  --debug     with NO and LENGTH: log every candidate digit too\n"
    "  --log FILE  write the run log to FILE instead of log.txt; with NO and\n"
    "              LENGTH, --log - writes it to standard output instead of the root\n"
    "  --resume    continue the run the log holds: same questions, same answers;\n"
    "              the places it holds whole are kept, the rest is computed, and\n"
    "              the log ends as an uninterrupted run's would\n"
    "  --check     verify every line of the log, ask nothing, print one summary\n"
    "              line (or the first wrong line) and exit\n"
    "  --threads N judge up to N candidate digits at once, on N threads (1 to 64;\n"
    "              the log is the same for every N); by default the processors\n"
    "              this process may run on, at most 10: here ";
// The rest of the usage, after the default thread count.
constexpr char kUsageRest[] =
    "\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version, the path of the limb loops and the default\n"
    "              thread count, and exit\n"
    "\n"
    "Environment:\n"
    "  LONGSQRT_LIMB_LOOPS  scalar or avx2: the form of the big-integer loops\n"
    "                       (the fastest this processor runs when unset)\n"
    "\n"
    "The log reaches the disk at least every 10 seconds and before the run ends,\n"
    "so an interrupted run (Ctrl-C, a crash, a power cut) loses little; after\n"
    "Ctrl-C, SIGTERM or SIGHUP it says how many places the log holds and how to\n"
    "go on:\n"
    "  longsqrt --resume    (answer as before) continues it\n"
    "  longsqrt --check     says how many places the log holds\n"
    "\n"
    "Exit status: 0 when the log holds every place asked for (--check: when every\n"
    "line is right); 1 when the run was refused, the log could not be written or\n"
    "continued (--check: a wrong line, or the log could not be read); 2 for an\n"
    "unknown argument or path, --log without a file, a --threads outside 1 to\n"
    "64, options that exclude each other (--big5 with --utf8, --resume with\n"
    "--check), or a NO or LENGTH missing, extra or out of range; 141 when the\n"
    "reader of --log - stops reading.\n"
    "See longsqrt(1).\n";

// The end of the version: who holds the copyright, the licence, the warranty.
constexpr char kVersionNotice[] =
    "Copyright (C) 2026 The longsqrt authors.\n"
    "License MIT: <https://opensource.org/licenses/MIT>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// Returns the length of the well-formed UTF-8 sequence at p (a byte of 0x80
// or more) that is not a C1 control, or 0 when there is none: such bytes a
// terminal would take as commands or show as garbage.
std::size_t printableUtf8(const unsigned char* p) {
  std::size_t size;
  char32_t c;
  if (p[0] >= 0xC2 && p[0] <= 0xDF) {
    size = 2;
    c = p[0] & 0x1Fu;
  } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    size = 3;
    c = p[0] & 0x0Fu;
  } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    size = 4;
    c = p[0] & 0x07u;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < size; ++i) {
    if ((p[i] & 0xC0u) != 0x80) return 0;  // also stops at the terminating zero
    c = (c << 6) | (p[i] & 0x3Fu);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool valid = c >= smallest[size] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
  return valid && c > 0x9F ? size : 0;
}

}  // namespace

std::string printable(const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  // The terminating zero stops a multi-byte sequence cut short at the end.
  for (auto p = reinterpret_cast<const unsigned char*>(text.c_str()), end = p + text.size(); p != end;) {
    const unsigned char b = *p;
    if (b >= 0x80) {
      if (const std::size_t size = printableUtf8(p)) {
        shown.append(reinterpret_cast<const char*>(p), size);
        p += size;
        continue;
      }
    }
    ++p;
    if (b == '\\') {
      shown += "\\\\";
    } else if (b >= 0x20 && b < 0x7F) {
      shown += static_cast<char>(b);
    } else if (b == 0x1B) {
      shown += "\\e";
    } else if (b == '\n') {
      shown += "\\n";
    } else if (b == '\t') {
      shown += "\\t";
    } else if (b == '\r') {
      shown += "\\r";
    } else {
      shown += {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
    }
  }
  return shown;
}

namespace {

// Returns the integer text denotes: an optional "-" (when negative is true)
// and decimal digits, within least .. most; nothing for anything else.
std::optional<int64_t> integerOf(const char* text, bool negative, int64_t least, int64_t most) {
  const char* p = text;
  const bool minus = negative && *p == '-';
  if (minus) ++p;
  int64_t value = 0;
  const char* digits = p;
  for (; *p >= '0' && *p <= '9' && value <= most + 1; ++p) value = value * 10 + (*p - '0');
  if (p == digits || *p != '\0') return std::nullopt;
  if (minus) value = -value;
  if (value < least || value > most) return std::nullopt;
  return value;
}

// Returns true when arg is an operand: it does not start with "-", or it is
// "-" and digits (a negative LENGTH).
bool isOperand(const char* arg) { return arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9'); }

// Reads the operands into options.answers. Returns false after writing a
// one-line message to err when they are not NO and LENGTH, or when what
// goes with them does not.
bool readOperands(const std::vector<const char*>& operands, bool debug, std::ostream& err, Options& options) {
  const auto refuse = [&err](const std::string& what) {
    err << "longsqrt: " << what << " (see longsqrt --help)" << std::endl;
    return false;
  };
  const bool toOutput = options.logPath == kLogToOutput;
  if (operands.empty()) {
    if (debug) return refuse("--debug goes with NO and LENGTH");
    if (toOutput) return refuse("--log - goes with NO and LENGTH");
    return true;
  }
  const auto no = integerOf(operands[0], false, 0, 2147483647);
  if (!no) return refuse("NO must be an integer from 0 to 2147483647, not '" + printable(operands[0]) + "'");
  if (operands.size() == 1) return refuse("LENGTH is missing after NO '" + printable(operands[0]) + "'");
  if (operands.size() > 2) return refuse("extra operand '" + printable(operands[2]) + "'");
  if (options.check) return refuse("--check takes no NO and LENGTH");
  if (toOutput && options.resume) return refuse("--resume cannot read back --log - (standard output)");
  const auto length = integerOf(operands[1], true, -2147483648LL, 2147483647);
  if (!length) {
    return refuse("LENGTH must be an integer from -2147483648 to 2147483647, not '" + printable(operands[1]) +
                  "'");
  }
  options.answers = Answers{debug, static_cast<int32_t>(*no), static_cast<int32_t>(*length)};
  return true;
}

// Reads text as a thread count into threads: decimal digits alone, from 1 to
// kMostThreads. Returns false, with threads as it was, for anything else.
bool readThreads(const char* text, std::optional<int>& threads) {
  int value = 0;
  const char* p = text;
  for (; *p >= '0' && *p <= '9' && value <= kMostThreads; ++p) value = value * 10 + (*p - '0');
  if (p == text || *p != '\0' || value < 1 || value > kMostThreads) return false;
  threads = value;
  return true;
}

// Flushes out and returns status, or 1 after a one-line message on err when
// what was written to out did not all get there (standard output a full disk).
int finishOutput(std::ostream& out, std::ostream& err, int status) {
  out.flush();
  if (out) return status;
  const int error = errno;
  err << "longsqrt: write error";
  if (error != 0) err << ": " << std::strerror(error);
  err << std::endl;
  return 1;
}

}  // namespace

std::optional<int> chooseLimbLoops(const char* name, std::ostream& err) {
  if (name == nullptr || *name == '\0') return std::nullopt;
  for (const magnitude::Path path : magnitude::supportedPaths()) {
    if (std::strcmp(name, magnitude::pathName(path)) == 0) {
      magnitude::usePath(path);
      return std::nullopt;
    }
  }
  const bool known = std::strcmp(name, magnitude::pathName(magnitude::Path::avx2)) == 0;
  err << "longsqrt: LONGSQRT_LIMB_LOOPS=" << printable(name)
      << (known ? ": this processor does not run that path" : ": no such path (scalar or avx2)") << std::endl;
  return 2;
}

std::optional<int> parseArguments(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                                  Options& options) {
  // --help and --version answer whatever else is given; an unknown argument
  // is reported before either, so that a mistyped command never runs.
  bool help = false;
  bool version = false;
  bool debug = false;
  bool optionsEnded = false;
  std::vector<const char*> operands;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (optionsEnded || isOperand(arg)) {
      operands.push_back(arg);
    } else if (std::strcmp(arg, "--") == 0) {
      optionsEnded = true;
    } else if (std::strcmp(arg, "--debug") == 0) {
      debug = true;
    } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      version = true;
    } else if (std::strcmp(arg, "--utf8") == 0 || std::strcmp(arg, "--big5") == 0) {
      const Encoding named = std::strcmp(arg, "--utf8") == 0 ? Encoding::utf8 : Encoding::big5;
      if (options.encoding.value_or(named) != named) {
        err << "longsqrt: --big5 and --utf8 exclude each other (see longsqrt --help)" << std::endl;
        return 2;
      }
      options.encoding = named;
    } else if (std::strcmp(arg, "--threads") == 0 || std::strncmp(arg, "--threads=", 10) == 0) {
      // The count follows in the same argument after "=", or as the next one.
      const char* value = arg[9] == '=' ? arg + 10 : i + 1 < argc ? argv[++i] : nullptr;
      if (value == nullptr) {
        err << "longsqrt: --threads needs a number from 1 to " << kMostThreads << " (see longsqrt --help)"
            << std::endl;
        return 2;
      }
      if (!readThreads(value, options.threads)) {
        err << "longsqrt: --threads takes a number from 1 to " << kMostThreads << ", not '"
            << printable(value) << "' (see longsqrt --help)" << std::endl;
        return 2;
      }
    } else if (std::strcmp(arg, "--log") == 0 || std::strncmp(arg, "--log=", 6) == 0) {
      // --log FILE or --log=FILE; a missing or empty name is refused, not taken for log.txt.
      const char* path = arg[5] == '=' ? arg + 6 : i + 1 < argc ? argv[++i] : nullptr;
      if (path == nullptr || *path == '\0') {
        err << "longsqrt: --log needs a file name (see longsqrt --help)" << std::endl;
        return 2;
      }
      options.logPath = path;
    } else if (std::strcmp(arg, "--resume") == 0 || std::strcmp(arg, "--check") == 0) {
      (arg[2] == 'r' ? options.resume : options.check) = true;
      if (options.resume && options.check) {
        err << "longsqrt: --resume and --check exclude each other (see longsqrt --help)" << std::endl;
        return 2;
      }
    } else {
      err << "longsqrt: unknown argument '" << printable(arg) << "' (see longsqrt --help)" << std::endl;
      return 2;
    }
  }
  if (!readOperands(operands, debug, err, options)) return 2;
  errno = 0;  // so that a failed write's reason is its own
  if (help) {
    out << kUsage << defaultThreads() << kUsageRest;
    return finishOutput(out, err, 0);
  }
  if (version) {
    // The second line names the form the big-integer loops take on this
    // processor, the third the threads a run starts unless told (the first
    // stays the version alone, for scripts); the notice follows.
    out << "longsqrt " LONGSQRT_VERSION "\nlimb loops: " << magnitude::pathName(magnitude::activePath())
        << "\ndefault threads: " << defaultThreads() << '\n'
        << kVersionNotice;
    return finishOutput(out, err, 0);
  }
  return std::nullopt;
}

}  // namespace calc
