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
windows_build=
report() {
  # A Windows build still running beside a phase that failed ends with the run.
  if [ -n "$windows_build" ]; then kill -- "-$windows_build" 2>/dev/null || true; fi
  [ ${#phases[@]} -eq 0 ] && return
  echo
  echo "Wall time of each phase:"
  printf '  %s\n' "${phases[@]}"
  printf '  %-17s %5d s\n' "all" "$SECONDS"
}
trap report EXIT
# phase NAME COMMAND...: runs the command and notes how long it took.
phase() {
  local name=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  note_phase "$name" $((SECONDS - start)) $status
  return $status
}
# note_phase NAME SECONDS STATUS [REMARK]
note_phase() {
  phases+=("$(printf '%-17s %5d s%s%s' "$1" "$2" "${4:+  ($4)}" \
    "$([ "$3" -eq 0 ] || echo "  (failed)")")")
}

phase "installing" bash scripts/install-deps.sh ser2net
build=${QZR71_BUILD_DIR:-build/test}
# Most of a test's time is spent waiting on real deadlines (the head's time-outs, a pulled cable),
# not on a core: six tests at a time per core.
test_jobs=$(($(nproc) * 6))
export QT_QPA_PLATFORM=offscreen

# The Windows build (and the cross compiler and Wine it installs first) wants the processor while
# the native and sanitized tests mostly wait on their deadlines: it runs beside the native and
# sanitized phases, at the lowest priority, so that a test's thread that wakes is never kept
# waiting behind a compiler, and a build in the foreground leaves it only what it does not use.
# It stays in this session: Linux (with its default autogroups) weighs priorities only within a
# session, and in a new one, as setsid makes, it would take half the processor from the
# sanitized build. Its own process group lets a failed phase stop it. Its output goes to a
# file, shown if it fails.
export QZR71_BUILD_DIR="$build"
windows_log=$build/windows-build.log
mkdir -p "$build"
if [ -z "$quick" ]; then
  windows_start=$SECONDS
  set -m
  nice -n 19 bash scripts/test-windows.sh --build-only >"$windows_log" 2>&1 &
  windows_build=$!
  set +m
fi

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

waited=$SECONDS
status=0
wait "$windows_build" || status=$?
windows_build=
note_phase "Windows build" $((SECONDS - windows_start)) $status \
  "beside the phases above; waited for $((SECONDS - waited)) s"
if [ $status -ne 0 ]; then
  tail -n 80 "$windows_log"
  exit $status
fi
phase "Wine tests" bash scripts/test-windows.sh
