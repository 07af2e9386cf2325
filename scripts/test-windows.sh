#!/usr/bin/env bash
# Cross-builds the tool's core (serial link, steps, run controller) and its tests for 64-bit
# Windows with mingw-w64, and runs them under Wine in a private prefix inside the build folder.
# The simulated head runs natively on its pseudo-terminal; the prefix's COM1 leads to it, so the
# stage tests go through the Windows serial backend. Installs what is missing first. Arguments go
# to ctest, e.g. -R StageZero; with --bench first, the serial timing benchmark runs instead, with
# the arguments that follow.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64

# The simulator is a Linux program: built in the Linux build folder (the one scripts/test.sh uses).
native=${QZR71_BUILD_DIR:-build/test}
case "$native" in /*) ;; *) native="$root/$native" ;; esac
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR71_WERROR=ON >/dev/null
fi
cmake --build "$native" --target qzr71-headsim

windows="$root/build/windows"
cmake --preset windows
cmake --build --preset windows

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX="$windows/wine/prefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and fetching them would need the network.
export WINEDLLOVERRIDES="mscoree=;mshtml="
# The tests reach the simulator through the prefix's COM1, never through these.
unset QZR71_COM1 QZR71_COM2 QZR71_COM3 QZR71_COM4
export QZR71_HEADSIM="$native/sim/qzr71-headsim"
export QZR71_WINE_HEAD_DIR="$windows/wine/run"
rm -rf "$QZR71_WINE_HEAD_DIR"
mkdir -p "$QZR71_WINE_HEAD_DIR"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i >"$windows/wine/wineboot.log" 2>&1
  "$wineserver" -w
fi

server=
cleanup() {
  # Simulators a failed test left running: the ones this run started, by their process ids.
  for pidFile in "$QZR71_WINE_HEAD_DIR"/*.pid; do
    [ -f "$pidFile" ] && kill "$(cat "$pidFile")" 2>/dev/null || true
  done
  if [ -n "$server" ]; then
    "$wineserver" -k 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# One server for the whole run, so that the tests do not each start and stop their own. It stays
# in this script's session: a server that daemonizes leads a session of its own, takes the
# simulator's terminal as its controlling one, and then a pulled cable hangs it up (SIGHUP).
"$wineserver" -f -p >"$windows/wine/wineserver.log" 2>&1 &
server=$!

# COM1 leads to the link the simulator makes in the run directory. Wine keeps its port map in
# the registry and remakes dosdevices/com1 from it, so the link is set there.
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$QZR71_WINE_HEAD_DIR/line" /f \
  >/dev/null
ln -sfn "$QZR71_WINE_HEAD_DIR/line" "$WINEPREFIX/dosdevices/com1"

if [ "${1:-}" = --bench ]; then
  shift
  "$wine" "$windows/bench/serial_timing_bench.exe" "$@"
  exit
fi
ctest --test-dir "$windows" --output-on-failure --no-tests=error -j2 "$@"
