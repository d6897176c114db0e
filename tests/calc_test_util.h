// Helpers shared by the calculator tests: an independent oracle for the run
// log (GMP's integer square root), the console of a successful run, files.
#ifndef LONGSQRT_TESTS_CALC_TEST_UTIL_H
#define LONGSQRT_TESTS_CALC_TEST_UTIL_H

#include <gmpxx.h>
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// Words of 16-bit Windows that its header still defines away; tests use them as names.
#undef near
#undef far
#else
#include <iconv.h>
#endif

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "calc/run_log.h"
#include "calc/texts.h"

namespace calc_test {

// Returns floor(sqrt(no * 100^k)) computed by GMP.
inline mpz_class scaledRoot(int32_t no, int64_t k) {
  mpz_class scaled;
  mpz_ui_pow_ui(scaled.get_mpz_t(), 100, static_cast<unsigned long>(k));
  scaled *= static_cast<long>(no);
  mpz_class root;
  mpz_sqrt(root.get_mpz_t(), scaled.get_mpz_t());
  return root;
}

// Returns the result text of place k: the integer part, a point, k digits.
inline std::string resultTextOf(int32_t no, int64_t k) {
  const std::string integer = scaledRoot(no, 0).get_str();
  std::string digits = scaledRoot(no, k).get_str();
  digits.insert(0, integer.size() + static_cast<size_t>(k) - digits.size(), '0');  // 0 has k + 1 zeros
  return integer + "." + digits.substr(integer.size());
}

// Returns the log of a run without traces, its values from GMP's roots: each
// place a result record, preceded by a limit block when its digit is 9.
inline std::string expectedLog(int32_t no, int64_t length) {
  std::ostringstream out;
  calc::StreamLineSink sink(out);
  calc::RunLogWriter log(sink, calc::Encoding::big5);
  for (int64_t k = 1; k <= length; ++k) {
    const std::string text = resultTextOf(no, k);
    if (text.back() == '9') {
      mpz_class scaled;
      mpz_ui_pow_ui(scaled.get_mpz_t(), 100, static_cast<unsigned long>(k));
      scaled *= static_cast<long>(no);
      const mpz_class root = scaledRoot(no, k);
      log.decision({9, calc::Case::limit}, false, scaled.get_str(), mpz_class(root * root).get_str());
    }
    log.result(no, k, text);
  }
  return out.str();
}

// Returns the prompts a run writes before computing (no echo of the answers).
inline std::string prompts() {
  using namespace calc::texts;
  return std::string(kAskDebug.big5) + kAskNo.big5 + kAskLength.big5;
}

// Returns the whole console output of a successful run with radicand no.
inline std::string successConsole(int32_t no) {
  using namespace calc::texts;
  return prompts() + kComputing.big5 + "\n" + kInput + std::to_string(no) + "\n" + kFinished.big5 + "\n";
}

// Returns the Big5 form of a message that names the log at path, as a run names it.
inline std::string named(const calc::texts::LogText& t, const std::string& path = calc::texts::kLogFileName) {
  return t.before.big5 + path + t.after.big5;
}

#ifdef _WIN32
// Returns the UTF-8 form of Big5 text, converted by the system through UTF-16
// (code page 950).
inline std::string toUtf8(const std::string& big5) {
  if (big5.empty()) return big5;
  const int size = static_cast<int>(big5.size());
  std::wstring wide(big5.size(), L'\0');
  const int n = MultiByteToWideChar(950, MB_ERR_INVALID_CHARS, big5.data(), size, wide.data(), size);
  if (n == 0) return "(not Big5)";
  std::string out(static_cast<std::size_t>(n) * 3, '\0');
  const int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), static_cast<int>(out.size()),
                                    nullptr, nullptr);
  return out.substr(0, static_cast<std::size_t>(m));
}
#else
// Returns the UTF-8 form of Big5 text, converted by the C library's iconv.
inline std::string toUtf8(const std::string& big5) {
  const iconv_t cd = iconv_open("UTF-8", "BIG5");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "(no Big5 converter)";
  std::string in = big5, out(big5.size() * 3 + 1, '\0');
  char* from = in.data();
  char* to = out.data();
  size_t fromLeft = in.size(), toLeft = out.size();
  const bool ok = iconv(cd, &from, &fromLeft, &to, &toLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  return ok ? out.substr(0, out.size() - toLeft) : "(not Big5)";
}
#endif

// Returns log with every LF made CR LF, as the Windows build writes it.
inline std::string withCrLf(const std::string& log) {
  std::string out;
  for (char c : log) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// Returns a log as this system's log files hold it: with CR LF on Windows.
inline std::string asLogFile(const std::string& log) {
#ifdef _WIN32
  return withCrLf(log);
#else
  return log;
#endif
}

// A scratch folder, removed with everything in it at the end of the test.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    // A name no other folder has: creating it fails for one that exists.
    std::random_device random;
    std::error_code error;
    for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
      const auto name =
          std::filesystem::temp_directory_path(error) / ("longsqrt-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(name, error)) path = name;
    }
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // Returns the path of the run log inside the folder.
  std::string log() const { return (path / "log.txt").string(); }
};

// Returns the bytes of a regular file, or "" for anything else.
inline std::string readFile(const std::string& path) {
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored)) return "";
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace calc_test

#endif  // LONGSQRT_TESTS_CALC_TEST_UTIL_H
