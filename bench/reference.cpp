// The measuring stick of bench/run: a plain implementation of the same
// digit-by-digit square root, with the same steps for every candidate, that
// writes the same log.txt as `longsqrt` with debug 0 (Big5, LF).
//
//   reference NO LENGTH
//
// Values are vectors of 16-bit limbs, least significant first, with plain
// loops throughout: every candidate builds the scaled radicand and the
// candidate root twice from their decimal text (multiply by ten and add, one
// digit at a time), multiplies the two roots column by column with a 64-bit
// accumulator and compares the square with the radicand by one subtraction;
// every log line is flushed as it is written. No vector forms, no threads,
// nothing kept from one candidate to the next.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Limbs = std::vector<std::uint16_t>;  // least significant first, no zero limb on top

// Returns the limbs of value.
Limbs fromWord(std::uint32_t value) {
  Limbs limbs;
  for (; value != 0; value >>= 16) limbs.push_back(static_cast<std::uint16_t>(value));
  return limbs;
}

// Returns the value of text, decimal digits alone, built one digit at a time:
// the value so far times ten plus the digit.
Limbs fromText(const std::string& text) {
  Limbs limbs;
  for (const char c : text) {
    std::uint32_t carry = static_cast<std::uint32_t>(c - '0');
    for (std::uint16_t& limb : limbs) {
      const std::uint32_t t = limb * 10u + carry;
      limb = static_cast<std::uint16_t>(t);
      carry = t >> 16;
    }
    if (carry != 0) limbs.push_back(static_cast<std::uint16_t>(carry));
  }
  return limbs;
}

// Returns a times b, the schoolbook product column by column: each column's
// limb products summed in a 64-bit accumulator that carries into the next.
Limbs product(const Limbs& a, const Limbs& b) {
  if (a.empty() || b.empty()) return {};
  Limbs result(a.size() + b.size());
  std::uint64_t column = 0;
  for (std::size_t k = 0; k < result.size(); ++k) {
    const std::size_t first = k < b.size() ? 0 : k - b.size() + 1;
    for (std::size_t i = first; i <= k && i < a.size(); ++i) column += std::uint64_t{a[i]} * b[k - i];
    result[k] = static_cast<std::uint16_t>(column);
    column >>= 16;
  }
  while (!result.empty() && result.back() == 0) result.pop_back();
  return result;
}

// Returns the sign of a - b (-1, 0 or 1), from one subtraction over the
// longer operand's limbs: a borrow out of the top means a < b.
int signOfDifference(const Limbs& a, const Limbs& b) {
  const std::size_t size = a.size() > b.size() ? a.size() : b.size();
  std::uint32_t borrow = 0;
  bool nonZero = false;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint32_t t = std::uint32_t{i < a.size() ? a[i] : 0u} - (i < b.size() ? b[i] : 0u) - borrow;
    nonZero |= (t & 0xFFFFu) != 0;
    borrow = t >> 31;
  }
  return borrow != 0 ? -1 : nonZero ? 1 : 0;
}

// Returns the decimal text of limbs: a copy divided by ten until nothing is left.
std::string decimal(Limbs limbs) {
  std::string digits;
  do {
    std::uint32_t rest = 0;
    for (std::size_t i = limbs.size(); i-- > 0;) {
      const std::uint32_t t = (rest << 16) | limbs[i];
      limbs[i] = static_cast<std::uint16_t>(t / 10);
      rest = t % 10;
    }
    while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
    digits.insert(digits.begin(), static_cast<char>('0' + rest));
  } while (!limbs.empty());
  return digits;
}

// Returns the integer part of the root of no: the count before the first whose
// square exceeds no, counting from 0.
std::uint32_t integerPart(std::uint32_t no) {
  for (std::uint32_t i = 0;; ++i) {
    if (signOfDifference(product(fromWord(i), fromWord(i)), fromWord(no)) > 0) return i - 1;
  }
}

std::FILE* logFile;

// Writes line and a line feed to the log, and flushes it; ends the program
// when the log does not take it.
void writeLine(const std::string& line) {
  if (std::fputs(line.c_str(), logFile) < 0 || std::fputc('\n', logFile) == EOF ||
      std::fflush(logFile) != 0) {
    std::perror("reference: log.txt");
    std::exit(1);
  }
}

// Reads text as a whole decimal number from low to high, or fails the run.
long readNumber(const char* text, long low, long high) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value < low || value > high) {
    std::fprintf(stderr, "reference: '%s' is not a number from %ld to %ld\n", text, low, high);
    std::exit(2);
  }
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: reference NO LENGTH (writes the log of debug 0 to log.txt)\n", stderr);
    return 2;
  }
  const auto no = static_cast<std::uint32_t>(readNumber(argv[1], 0, 2147483647));
  const long length = readNumber(argv[2], -2147483647 - 1L, 2147483647);
  logFile = std::fopen("log.txt", "wb");
  if (logFile == nullptr) {
    std::perror("reference: log.txt");
    return 1;
  }
  // The log's Big5 texts: the result line's label, the limit block's two first lines.
  const std::string label = "sqrt(\xBE\xE3\xBC\xC6,\xA4p\xBC\xC6\xC2I\xA6\xEC\xBC\xC6) \xA1\xDD sqrt(";
  const std::string limit = "===\xB7\xA5\xAD\xAD===";
  const std::string holds = "(2) x < noScaled  && n==9  \xA6\xA8\xA5\xDF";

  std::string noScaled = std::to_string(no);
  std::string rootStr = std::to_string(integerPart(no));
  std::string resultText = rootStr + ".";
  for (long place = 1; place <= length; ++place) {
    noScaled += "00";
    char digit = '0';  // the last candidate whose square did not exceed noScaled
    for (char n = '0'; n <= '9'; ++n) {
      const Limbs scaled = fromText(noScaled);
      const std::string rootStrNew = rootStr + n;
      const Limbs x = product(fromText(rootStrNew), fromText(rootStrNew));
      const int sign = signOfDifference(x, scaled);
      if (sign <= 0) digit = n;
      // The first square above noScaled decides the digit before it; when none
      // up to 9 is, the digit is 9 and its limit block shows it.
      if (sign > 0 || n == '9') {
        rootStr += digit;
        resultText += digit;
        const Limbs square = product(fromText(rootStr), fromText(rootStr));
        if (sign <= 0) {
          writeLine(limit);
          writeLine(holds);
          writeLine("noScaled = " + decimal(scaled));
          writeLine("x        = " + decimal(square));
        }
        break;
      }
    }
    writeLine(label + std::to_string(no) + ", " + std::to_string(place) + ") = " + resultText);
    writeLine("===============================");
    writeLine("");
  }
  if (std::fclose(logFile) != 0) {
    std::perror("reference: log.txt");
    return 1;
  }
  return 0;
}
