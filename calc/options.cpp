// The command line: the options a run accepts, its usage text and version.
#include "calc/options.h"

#include <cstring>
#include <ostream>

#include "bigint/magnitude.h"

namespace calc {

namespace {

// The usage, in ASCII so that any terminal shows it.
constexpr char kUsage[] =
    "Usage: longsqrt [--big5 | --utf8]\n"
    "       longsqrt --help | --version\n"
    "\n"
    "Computes the square root of an integer from 0 to 2147483647 to as many\n"
    "decimal places as asked, digit by digit, and writes every step to log.txt\n"
    "in the current folder. It asks three questions on the console:\n"
    "  debug    1 logs every candidate digit too, 0 only the results\n"
    "  no       the integer\n"
    "  length   the number of decimal places\n"
    "Its log is Big5 (Traditional Chinese), and so are its console texts, except\n"
    "on a terminal whose locale is UTF-8: that terminal gets them in UTF-8.\n"
    "\n"
    "Options:\n"
    "  --big5      write every text in Big5, on a UTF-8 terminal too (for luit)\n"
    "  --utf8      write the console texts and the log in UTF-8 instead of Big5\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and the path of the limb loops, and exit\n"
    "\n"
    "Environment:\n"
    "  LONGSQRT_LIMB_LOOPS  scalar or avx2: the form of the big-integer loops\n"
    "                       (the fastest this processor runs when unset)\n"
    "\n"
    "Exit status: 0 when log.txt holds every place asked for; 1 when the run was\n"
    "refused or the log could not be written; 2 for an unknown argument or path,\n"
    "or for --big5 with --utf8.\n"
    "See longsqrt(1).\n";

}  // namespace

int chooseLimbLoops(const char* name, std::ostream& err) {
  if (name == nullptr || *name == '\0') return -1;
  for (const magnitude::Path path : magnitude::supportedPaths()) {
    if (std::strcmp(name, magnitude::pathName(path)) == 0) {
      magnitude::usePath(path);
      return -1;
    }
  }
  const bool known = std::strcmp(name, magnitude::pathName(magnitude::Path::avx2)) == 0;
  err << "longsqrt: LONGSQRT_LIMB_LOOPS=" << name
      << (known ? ": this processor does not run that path" : ": no such path (scalar or avx2)") << std::endl;
  return 2;
}

int parseArguments(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   Options& options) {
  // --help and --version answer whatever else is given; an unknown argument
  // is reported before either, so that a mistyped command never runs.
  bool help = false;
  bool version = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
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
    } else {
      err << "longsqrt: unknown argument '" << arg << "' (see longsqrt --help)" << std::endl;
      return 2;
    }
  }
  if (help) {
    out << kUsage << std::flush;
    return 0;
  }
  if (version) {
    // The second line names the form the big-integer loops take on this
    // processor (the first stays the version alone, for scripts).
    out << "longsqrt " LONGSQRT_VERSION "\nlimb loops: " << magnitude::pathName(magnitude::activePath())
        << std::endl;
    return 0;
  }
  return -1;
}

}  // namespace calc
