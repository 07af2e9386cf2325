#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; then the core again, cross-built
# for Windows and run under Wine against the same simulated head.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64
build=${QZR71_BUILD_DIR:-build/test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR71_WERROR=ON
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2

QZR71_BUILD_DIR="$build" bash scripts/test-windows.sh
