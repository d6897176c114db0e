// Tests of the limb loops that come in more than one form, on every path this
// processor runs, against GMP: a product must be the product, a quotient and
// remainder must rebuild the dividend. Lengths cover every tail of a
// sixteen-limb block around the vector threshold and beyond; operands have
// runs of 0xFFFF and of zeros, and chains of carries that cross blocks.
#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bigint/magnitude.h"

namespace {

using Limbs = std::vector<uint16_t>;

mpz_class valueOf(const Limbs& x) {
  mpz_class z;
  if (!x.empty()) mpz_import(z.get_mpz_t(), x.size(), -1, sizeof(uint16_t), 0, 0, x.data());
  return z;
}

// Returns the limbs in hexadecimal, least significant first.
std::string hex(const Limbs& x) {
  std::string s;
  for (uint16_t limb : x) {
    char text[8];
    std::snprintf(text, sizeof text, " %04x", limb);
    s += text;
  }
  return s;
}

// Runs each supported path in turn, and leaves the one that was active.
template <typename Check>
void onEveryPath(Check check) {
  const magnitude::Path active = magnitude::activePath();
  for (magnitude::Path path : magnitude::supportedPaths()) {
    magnitude::usePath(path);
    check(magnitude::pathName(path));
  }
  magnitude::usePath(active);
}

// Returns n limbs of the given kind.
Limbs operand(size_t n, int kind, std::mt19937& rng) {
  Limbs x(n);
  uint32_t high = 0;  // kind 5: the high half of the previous limb times 10
  for (size_t i = 0; i < n; ++i) {
    const uint16_t random = static_cast<uint16_t>(rng());
    switch (kind) {
      case 0:
        x[i] = random;
        break;
      case 1:
        x[i] = 0xFFFF;
        break;
      case 2:
        x[i] = rng() % 4 ? 0xFFFF : random;
        break;  // times 0xFFFF: carries run through the runs
      case 3:
        x[i] = rng() % 4 ? 0 : random;
        break;
      case 4:
        x[i] = i + 1 == n ? 1 : 0;
        break;
      default: {
        // Times 10, limb i's low half plus `high` makes 0xFFFF (passing a
        // carry on) or wraps (making one), when the parities allow.
        const uint32_t target = high % 2 ? 0xFFFF - high : 0x10000 - high + (rng() % 4) * 2;
        x[i] = target > 0xFFFE ? random
                               : static_cast<uint16_t>((target / 2 * 0x4CCDu) % 0x8000 + rng() % 2 * 0x8000);
        high = x[i] * 10u >> 16;
      }
    }
  }
  return x;
}

constexpr int kKinds = 6;

std::vector<size_t> lengths() {
  std::vector<size_t> n;
  for (size_t i = 1; i <= 72; ++i) n.push_back(i);
  for (size_t i : {95, 96, 97, 208, 415, 2077}) n.push_back(i);
  return n;
}

TEST(BigintMagnitude, EveryPathMultipliesByALimb) {
  std::mt19937 rng(11);
  onEveryPath([&](const char* path) {
    for (size_t n : lengths()) {
      for (int kind = 0; kind < kKinds; ++kind) {
        for (uint32_t m : {10u, 0u, 1u, 0x8000u, 0xFFFFu, static_cast<uint32_t>(rng() & 0xFFFF)}) {
          // Starting at every limb of a 32-byte line in turn: the vector
          // forms place their blocks by the address.
          const size_t offset = (n + kind + m) % 16;
          Limbs buffer = operand(offset + n, kind, rng);
          const mpz_class want = valueOf(Limbs(buffer.begin() + offset, buffer.end())) * m;
          const uint32_t carry =
              magnitude::multiplyByLimb(buffer.data() + offset, n, static_cast<uint16_t>(m));
          Limbs x(buffer.begin() + offset, buffer.end());  // printed as the product
          x.push_back(static_cast<uint16_t>(carry));
          ASSERT_TRUE(carry < 0x10000 && valueOf(x) == want)
              << path << ": got" << hex(x) << ", want " << want;
        }
      }
    }
  });
}

TEST(BigintMagnitude, EveryPathDividesByTen) {
  std::mt19937 rng(12);
  onEveryPath([&](const char* path) {
    for (size_t n : lengths()) {
      for (int kind = 0; kind < kKinds; ++kind) {
        const Limbs x = operand(n, kind, rng);
        Limbs q = x;
        const uint32_t r = magnitude::divideBy10(q.data(), n);
        ASSERT_TRUE(r < 10 && valueOf(q) * 10 + r == valueOf(x))
            << path << ": quotient" << hex(q) << " remainder " << r << " for" << hex(x);
      }
    }
  });
}

TEST(BigintMagnitude, EveryPathMultipliesMagnitudes) {
  std::mt19937 rng(13);
  onEveryPath([&](const char* path) {
    for (size_t na : {1, 31, 32, 33, 47, 64, 65, 211}) {
      for (size_t nb : {2, 32, 33, 50, 97}) {
        for (int kind = 0; kind < kKinds; ++kind) {
          const Limbs a = operand(na, kind, rng), b = operand(nb, (kind + 1) % kKinds, rng);
          Limbs r(na + nb - 1);
          r.push_back(magnitude::multiply(r.data(), a.data(), na, b.data(), nb));
          ASSERT_EQ(valueOf(r), valueOf(a) * valueOf(b)) << path << ":" << hex(a) << " times" << hex(b);
        }
      }
    }
  });
}

}  // namespace
