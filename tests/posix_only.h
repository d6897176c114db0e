// The tests that need what only POSIX systems have: on Windows each is still
// listed, by its name, and skipped with what it needs, so that the Windows run
// of the suite (tests/windows/unit) accounts for every test of the POSIX one.
#ifndef LONGSQRT_TESTS_POSIX_ONLY_H
#define LONGSQRT_TESTS_POSIX_ONLY_H

#include <gtest/gtest.h>

// What the POSIX-only tests need, as their skips on Windows say it.
#define LONGSQRT_NEEDS_PTY "POSIX pseudo-terminals"
#define LONGSQRT_NEEDS_SIGNALS "POSIX signals"
#define LONGSQRT_NEEDS_SHELL "a POSIX shell, and a held log renamed over (Windows refuses that)"
#define LONGSQRT_NEEDS_DEVICES "/dev/full, FIFOs, symbolic links and ulimit"

// Declares suite.name, which on Windows only skips, saying it needs needs.
#define LONGSQRT_POSIX_ONLY_TEST(suite, name, needs) \
  TEST(suite, name) { GTEST_SKIP() << "needs " needs; }

#endif  // LONGSQRT_TESTS_POSIX_ONLY_H
