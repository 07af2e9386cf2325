#!/usr/bin/env bash
# Cross-builds the Windows program (qzr71adj.exe), the core and their tests for 64-bit Windows
# with mingw-w64, and runs them under Wine in a private prefix inside the build folder, on a
# virtual display (Xvfb) of its own. The simulated head runs natively on its pseudo-terminal; the
# prefix's COM1 leads to it, so the stage and window tests go through the Windows serial backend
# (COM7, listed in the serial device map, leads to the head of the Serial devices dialog's test).
# ser2net serves the same line on 127.0.0.1 with RFC 2217 (QZR71_WINE_RFC2217 names it), for the
# tests that reach the head through a serial device server over Winsock.
# Installs what is missing first. Arguments go to ctest, e.g. -R StageZero. Instead of the tests:
#   --bench [ARGS]           the serial timing benchmark, with the arguments that follow
#   --window-bench [ARGS]    the program's start-up, memory and a whole paced run (win32_bench)
#   --screenshots DIR        the four windows at 96 and 144 pixels per inch, as PNG files in DIR
#   --build-only             the cross-build alone
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 xvfb ser2net
[ "${1:-}" = --screenshots ] && bash scripts/install-deps.sh imagemagick

windows="$root/build/windows"
cmake --preset windows >/dev/null
cmake --build --preset windows
[ "${1:-}" = --build-only ] && exit 0

# The simulator is a Linux program: built in the Linux build folder (the one scripts/test.sh uses).
# Only what runs needs it, so the cross-build alone can run beside a build of that folder.
native=${QZR71_BUILD_DIR:-build/test}
case "$native" in /*) ;; *) native="$root/$native" ;; esac
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake --preset tests -B "$native" >/dev/null
fi
cmake --build "$native" --target qzr71-headsim

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
display_server=
serial_servers=()
cleanup() {
  # Simulators a failed test left running: the ones this run started, by their process ids.
  for pidFile in "$QZR71_WINE_HEAD_DIR"/*.pid; do
    [ -f "$pidFile" ] && kill "$(cat "$pidFile")" 2>/dev/null || true
  done
  if [ -n "$server" ]; then
    "$wineserver" -k 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  for serial_server in "${serial_servers[@]}"; do
    kill "$serial_server" 2>/dev/null || true
    wait "$serial_server" 2>/dev/null || true
  done
  if [ -n "$display_server" ]; then
    kill "$display_server" 2>/dev/null || true
    wait "$display_server" 2>/dev/null || true
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

# The window tests draw on a virtual display of their own: the first free display number from 90.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1920x1440x24 -nolisten tcp >"$windows/wine/xvfb.log" 2>&1 &
display_server=$!
export DISPLAY=":$display"
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.05
done

# There is no window manager on the virtual display: Wine draws the windows' frames and manages
# them itself (a managed window's destruction waits two seconds for a window manager that never
# answers). 96 pixels per inch, unless a screenshot asks for another scale.
for setting in Decorated Managed; do
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v "$setting" /t REG_SZ /d N /f >/dev/null
done
set_dpi() {
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  "$wine" reg add 'HKCU\Software\Wine\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
}
set_dpi 96

# COM1 leads to the link the simulator makes in the run directory, and COM7 (an adapter's kind
# of number) to another. The stage tests run side by side, each lent a line of its own by ctest:
# COM11, COM12 and COM13 lead to line11, line12 and line13 (tests/support/SimulatedHeadWine.cpp).
# Wine keeps its port map in the registry and remakes dosdevices/comN from it when a session
# starts, so the ports are set there, and in this session, which is up already, by hand. Only
# COM1 and COM7 are in the serial device map, as on a machine with one adapter.
lent_ports=(11 12 13)
line_of() { echo "$QZR71_WINE_HEAD_DIR/line$([ "$1" = 1 ] || echo "$1")"; }
for port in 1 7 "${lent_ports[@]}"; do
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /t REG_SZ /d "$(line_of "$port")" /f >/dev/null
  ln -sfn "$(line_of "$port")" "$WINEPREFIX/dosdevices/com$port"
done
for port in 1 7; do
  "$wine" reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "\\Device\\Serial$((port - 1))" \
    /t REG_SZ /d "COM$port" /f >/dev/null
done
{
  printf '{"version": {"major": 1, "minor": 0}, "local": [{"wine_lines": ['
  separator=
  for port in "${lent_ports[@]}"; do
    printf '%s{"id": "%s", "slots": 1}' "$separator" "$port"
    separator=", "
  done
  printf ']}]}\n'
} >"$windows/wine/lines.json"

# ser2net in front of each of these lines, each on a free port of 127.0.0.1:
# QZR71_WINE_RFC2217 names COM1's, QZR71_WINE_RFC2217_12 COM12's. It opens the line at each
# connection, so it finds whichever head the link leads to then.
for port in 1 "${lent_ports[@]}"; do
  tcp=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  /usr/sbin/ser2net -n -u -Y 'connection: &head' \
    -Y "  accepter: telnet(rfc2217),tcp,127.0.0.1,$tcp" \
    -Y "  connector: serialdev,$(line_of "$port"),9600e81,local" \
    >"$windows/wine/ser2net-com$port.log" 2>&1 &
  serial_servers+=($!)
  listening=$(printf '0100007F:%04X' "$tcp")
  for _ in $(seq 200); do
    awk -v l="$listening" '$2 == l && $4 == "0A" { found = 1 } END { exit !found }' /proc/net/tcp && break
    sleep 0.05
  done
  export "QZR71_WINE_RFC2217$([ "$port" = 1 ] || echo "_$port")=rfc2217://127.0.0.1:$tcp"
done

case "${1:-}" in
  --bench)
    shift
    "$wine" "$windows/bench/serial_timing_bench.exe" "$@"
    exit
    ;;
  --window-bench)
    shift
    "$wine" "$windows/bench/win32_bench.exe" "$windows/win32/qzr71adj.exe" "$@"
    exit
    ;;
  --screenshots)
    shots=$(mkdir -p "$2" && cd "$2" && pwd)
    status=0
    for dpi in 96 144; do
      set_dpi "$dpi"
      # The scale is read when a program starts under a fresh server.
      "$wineserver" -k 2>/dev/null || true
      wait "$server" 2>/dev/null || true
      "$wineserver" -f -p >>"$windows/wine/wineserver.log" 2>&1 &
      server=$!
      QZR71_SCREENSHOT_DIR="$("$wine" winepath -w "$shots/$dpi-dpi" 2>/dev/null)" \
        "$wine" "$windows/tests/win32/win32_screenshots.exe" || status=1
    done
    exit $status
    ;;
esac
# Most of the tests' time is spent waiting on the head's time-outs and on Wine: three tests at a
# time per core.
ctest --test-dir "$windows" --output-on-failure --no-tests=error -j$(($(nproc) * 3)) \
  --resource-spec-file "$windows/wine/lines.json" "$@"
