#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; then the suite again under the
# sanitizers, and the core and the Windows program cross-built for Windows and run under Wine
# against the same simulated head. Prints the wall time of each phase at the end, also when one
# failed.
#   --quick   the native build and its tests only: the daily check while working
set -euo pipefail
cd "$(dirname "$0")/.."

quick=
case "${1:-}" in
  --quick) quick=1 ;;
  "") ;;
  *) echo "usage: bash scripts/test.sh [--quick]" >&2; exit 2 ;;
esac

phases=()
report() {
  [ ${#phases[@]} -eq 0 ] && return
  echo
  echo "Wall time of each phase:"
  printf '  %s\n' "${phases[@]}"
}
trap report EXIT
# phase NAME COMMAND...: runs the command and notes how long it took.
phase() {
  local name=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  phases+=("$(printf '%-17s %5d s%s' "$name" $((SECONDS - start)) \
    "$([ $status -eq 0 ] || echo "  (failed)")")")
  return $status
}

phase "installing" bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 ser2net
build=${QZR71_BUILD_DIR:-build/test}
# Most of a test's time is spent waiting on real deadlines (the head's time-outs, a pulled cable),
# not on a core: four tests at a time per core.
test_jobs=$(($(nproc) * 4))
export QT_QPA_PLATFORM=offscreen

# Line tables only (-g1): a quarter less compile time than full debug information, and the same
# optimised code for the benchmarks.
cmake --preset tests -B "$build" >/dev/null
phase "native build" cmake --build "$build"
phase "native tests" ctest --test-dir "$build" --output-on-failure --no-tests=error -j"$test_jobs"
[ -n "$quick" ] && exit 0

# Sanitizers: the same suite once more, built with AddressSanitizer (leaks checked) and
# UndefinedBehaviorSanitizer, unoptimised with line tables: the tests wait on the head far more
# than they compute, -O0 builds in a sixth less time than -O1, and nothing is optimised away from
# under the checks. Any report fails its test. QZR71_SKIP_SANITIZERS=1 leaves it out.
if [ -z "${QZR71_SKIP_SANITIZERS:-}" ]; then
  sanitized=${QZR71_SANITIZED_BUILD_DIR:-build/sanitized}
  cmake --preset sanitized -B "$sanitized" >/dev/null
  phase "sanitized build" cmake --build "$sanitized"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS=suppressions=$PWD/tests/lsan-suppressions.txt:print_suppressions=0
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  phase "sanitized tests" ctest --test-dir "$sanitized" --output-on-failure --no-tests=error -j"$test_jobs"
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
fi

export QZR71_BUILD_DIR="$build"
phase "Windows build" bash scripts/test-windows.sh --build-only
phase "Wine tests" bash scripts/test-windows.sh
