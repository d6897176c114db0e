# Decides which optional parts to build and finds the libraries they need.
#
# LONGSQRT_TESTS (the GoogleTest suite and the fuzz corpus replay: GoogleTest,
# GMP) and LONGSQRT_BENCH (the micro-benchmarks: Google Benchmark) are AUTO,
# ON or OFF. AUTO builds a part when its libraries are found and otherwise
# says once, at configure time, what is missing and which Debian packages
# bring it; ON fails the configure instead, so a build that must run the tests
# can never skip them; OFF does not look. LONGSQRT_FUZZ needs GMP too.
# LONGSQRT_WINDOWS_TESTS (AUTO, ON or OFF) registers, in a native build on a
# system other than Windows whose test suite is built, one more CTest test:
# the same suite cross-compiled with mingw-w64 and run under Wine
# (tests/windows/unit), which needs mingw-w64, Wine, GoogleTest's sources, and
# GMP's Debian source package.
#
# Sets LONGSQRT_BUILD_TESTS, LONGSQRT_BUILD_BENCH and
# LONGSQRT_BUILD_WINDOWS_TESTS, and the imported targets
# the parts link: GTest::gtest_main, PkgConfig::GMP (gmpxx and gmp),
# benchmark::benchmark_main.

# Sets OUT to AUTO, ON or OFF from the value of VARIABLE (AUTO or any CMake truth value).
function(longsqrt_part_mode variable out)
  string(TOUPPER "${${variable}}" value)
  if(value STREQUAL "AUTO")
    set(${out} AUTO PARENT_SCOPE)
  elseif(value)
    set(${out} ON PARENT_SCOPE)
  else()
    set(${out} OFF PARENT_SCOPE)
  endif()
endfunction()

# Records that PART (tests, bench or fuzz) lacks LIBRARY, which the Debian packages in ARGN bring.
macro(longsqrt_missing part library)
  list(APPEND longsqrt_${part}_missing "${library}")
  list(APPEND longsqrt_${part}_packages ${ARGN})
endmacro()

# Finds GMP and its C++ interface through pkg-config, once, as PkgConfig::GMP.
macro(longsqrt_find_gmp part)
  if(NOT longsqrt_gmp_searched)
    set(longsqrt_gmp_searched ON)
    find_package(PkgConfig QUIET)
    if(PkgConfig_FOUND)
      pkg_check_modules(GMP QUIET IMPORTED_TARGET gmpxx gmp)
    endif()
  endif()
  if(NOT PkgConfig_FOUND)
    longsqrt_missing(${part} "pkg-config (to find GMP)" pkg-config libgmp-dev)
  elseif(NOT GMP_FOUND)
    longsqrt_missing(${part} "GMP with its C++ interface" libgmp-dev)
  endif()
endmacro()

longsqrt_part_mode(LONGSQRT_TESTS longsqrt_tests_mode)
longsqrt_part_mode(LONGSQRT_BENCH longsqrt_bench_mode)
longsqrt_part_mode(LONGSQRT_WINDOWS_TESTS longsqrt_windows_tests_mode)

if(NOT longsqrt_tests_mode STREQUAL "OFF")
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    longsqrt_missing(tests "GoogleTest" libgtest-dev)
  endif()
  longsqrt_find_gmp(tests)
endif()
if(NOT longsqrt_bench_mode STREQUAL "OFF")
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    longsqrt_missing(bench "Google Benchmark" libbenchmark-dev)
  endif()
endif()
if(LONGSQRT_FUZZ)
  longsqrt_find_gmp(fuzz)
endif()

# Sets LONGSQRT_BUILD_<PART> for PART (tests or bench) in MODE, described as
# TITLE; fails for ON and records the part as skipped for AUTO when something is missing.
macro(longsqrt_decide part mode title)
  string(TOUPPER ${part} longsqrt_upper)
  set(LONGSQRT_BUILD_${longsqrt_upper} OFF)
  list(JOIN longsqrt_${part}_missing " and " longsqrt_what)
  list(REMOVE_DUPLICATES longsqrt_${part}_packages)
  if("${mode}" STREQUAL "OFF")
    # not wanted: nothing searched, nothing said
  elseif(NOT longsqrt_${part}_missing)
    set(LONGSQRT_BUILD_${longsqrt_upper} ON)
  elseif("${mode}" STREQUAL "ON")
    list(JOIN longsqrt_${part}_packages " " longsqrt_packages)
    message(FATAL_ERROR "LONGSQRT_${longsqrt_upper}=ON, but ${title} cannot be built: "
                        "${longsqrt_what} not found (Debian: apt-get install ${longsqrt_packages})")
  else()
    list(APPEND longsqrt_skipped "${title} (${longsqrt_what} not found)")
    list(APPEND longsqrt_skipped_packages ${longsqrt_${part}_packages})
  endif()
endmacro()

set(longsqrt_skipped "")
set(longsqrt_skipped_packages "")
longsqrt_decide(tests "${longsqrt_tests_mode}" "the test suite")
longsqrt_decide(bench "${longsqrt_bench_mode}" "the micro-benchmarks")

# The Windows run of the suite: only beside the suite itself, from a build for this system.
if(NOT LONGSQRT_BUILD_TESTS OR CMAKE_CROSSCOMPILING OR WIN32)
  set(longsqrt_windows_tests_mode OFF)
endif()
if(NOT longsqrt_windows_tests_mode STREQUAL "OFF")
  find_program(LONGSQRT_MINGW_GXX x86_64-w64-mingw32-g++-posix)
  find_program(LONGSQRT_WINE wine)
  find_program(LONGSQRT_M4 m4)
  find_program(LONGSQRT_DPKG_SOURCE dpkg-source)
  if(NOT LONGSQRT_MINGW_GXX)
    longsqrt_missing(windows_tests "mingw-w64's g++" g++-mingw-w64-x86-64)
  endif()
  if(NOT LONGSQRT_WINE)
    longsqrt_missing(windows_tests "Wine" wine64 wine)
  endif()
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    longsqrt_missing(windows_tests "GoogleTest's sources" googletest)
  endif()
  if(NOT LONGSQRT_M4 OR NOT LONGSQRT_DPKG_SOURCE)
    longsqrt_missing(windows_tests "m4 and dpkg-source (to build GMP)" m4 dpkg-dev)
  endif()
  execute_process(COMMAND apt-cache showsrc gmp OUTPUT_VARIABLE longsqrt_gmp_source ERROR_QUIET)
  if(NOT longsqrt_gmp_source MATCHES "Version:")
    longsqrt_missing(windows_tests "GMP's source package (a deb-src entry in apt's sources, then apt-get update)")
  endif()
endif()
longsqrt_decide(windows_tests "${longsqrt_windows_tests_mode}" "the test suite under Wine")

if(longsqrt_fuzz_missing)
  list(JOIN longsqrt_fuzz_missing " and " longsqrt_what)
  list(JOIN longsqrt_fuzz_packages " " longsqrt_packages)
  message(FATAL_ERROR "LONGSQRT_FUZZ=ON needs ${longsqrt_what}, not found "
                      "(Debian: apt-get install ${longsqrt_packages})")
endif()

if(longsqrt_skipped)
  list(LENGTH longsqrt_skipped longsqrt_count)
  set(longsqrt_them it)
  if(longsqrt_count GREATER 1)
    set(longsqrt_them them)
  endif()
  list(REMOVE_DUPLICATES longsqrt_skipped_packages)
  list(JOIN longsqrt_skipped " and " longsqrt_skipped)
  list(JOIN longsqrt_skipped_packages " " longsqrt_skipped_packages)
  message(STATUS "longsqrt: skipping ${longsqrt_skipped}, which the program does not need; "
                 "to build ${longsqrt_them}: apt-get install ${longsqrt_skipped_packages}")
endif()
