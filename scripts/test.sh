#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; then the core again, cross-built
# for Windows and run under Wine against the same simulated head.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 ser2net
build=${QZR71_BUILD_DIR:-build/test}
# Line tables only (-g1): a quarter less compile time than full debug information, and the same
# optimised code for the benchmarks.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR71_WERROR=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2

# Sanitizers: the same suite once more, built with AddressSanitizer (leaks checked) and
# UndefinedBehaviorSanitizer; any report fails its test. QZR71_SKIP_SANITIZERS=1 leaves it out.
if [ -z "${QZR71_SKIP_SANITIZERS:-}" ]; then
  sanitized=${QZR71_SANITIZED_BUILD_DIR:-build/sanitized}
  # -O1 with line tables only: the sanitizers' advice, and less than half the compile time of -O2 -g.
  cmake -S . -B "$sanitized" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" \
    -DQZR71_WERROR=ON -DQZR71_SANITIZE=ON -DQZR71_BUILD_BENCH=OFF
  cmake --build "$sanitized"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/tests/lsan-suppressions.txt:print_suppressions=0 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir "$sanitized" --output-on-failure --no-tests=error -j2
fi

QZR71_BUILD_DIR="$build" bash scripts/test-windows.sh
