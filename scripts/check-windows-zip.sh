#!/usr/bin/env bash
# Tries the Windows zip the way a technician would, under Wine: unzips it into a scratch folder,
# starts its qzr71adj.exe there in a Wine prefix of its own on a virtual display, with COM1
# leading to the simulated head (run natively on its pseudo-terminal), and takes it through
# stage 0 (the motor speed check): Start clicked, File > Exit by its keys. The record of the run, in
# %LOCALAPPDATA%\qzr71\runs as the zip's README.txt says, must show stage 0 completed.
#   bash scripts/check-windows-zip.sh [dist/qzr71adj-VERSION-win64.zip]
# The simulated head is $QZR71_HEADSIM, else the one scripts/package.sh built, else the one on
# the PATH. Too slow for the tests; run it before a release.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

fail() {
  echo "check-windows-zip: FAILED: $*" >&2
  exit 1
}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# Inside the virtual display: COM1 is set to lead to the head, and the program is started in its
# folder and taken through stage 0 (scripts/stage-zero.sh). Argument: the scratch folder.
if [ "${1:-}" = "--on-display" ]; then
  work=$2
  # No window manager on the virtual display: Wine draws and manages the windows itself.
  for setting in Decorated Managed; do
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v "$setting" /t REG_SZ /d N /f >/dev/null
  done
  # Wine keeps its port map in the registry and remakes dosdevices/com1 from it.
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$work/line" /f >/dev/null
  ln -sfn "$work/line" "$WINEPREFIX/dosdevices/com1"
  (cd "$work/app" && exec "$wine" qzr71adj.exe >"$work/tool.out" 2>&1) &
  # shellcheck source=scripts/stage-zero.sh
  source "$root/scripts/stage-zero.sh"
  # After the first start's box the keyboard focus is on the window, not on Start: it is clicked.
  stage_zero $! "$work/trace" click "$work/tool.out"
  exit 0
fi

zip=${1:-$(ls "$root"/dist/qzr71adj-*-win64.zip 2>/dev/null | tail -n 1)}
[ -f "$zip" ] || fail "no zip: run scripts/package.sh first, or name the zip"
headsim=${QZR71_HEADSIM:-$root/build/release/sim/qzr71-headsim}
[ -x "$headsim" ] || headsim=$(command -v qzr71-headsim) || fail "no qzr71-headsim to serve COM1"

bash "$root/scripts/install-deps.sh" wine64 xvfb xauth xdotool unzip jq

work=$(mktemp -d /tmp/check-windows-zip.XXXXXX)
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
# No Mono or Gecko: the program needs neither, and fetching them would need the network.
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset QZR71_COM1 QZR71_COM2 QZR71_COM3 QZR71_COM4 QZR71_RUNS_DIR

head_pid=
server=
cleanup() {
  [ -n "$head_pid" ] && kill "$head_pid" 2>/dev/null
  if [ -n "$server" ]; then
    "$wineserver" -k 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "== $(basename "$zip")"
mkdir "$work/app"
unzip -q "$zip" -d "$work/app"
(cd "$work/app" && ls -l) | sed -n '2,$s/^/  /p'
for f in qzr71adj.exe README.txt LICENSE.txt; do
  [ -f "$work/app/$f" ] || fail "the zip holds no $f"
done
for f in README.txt LICENSE.txt; do
  # Notepad's text: every line ends in CR LF.
  if grep -q $'[^\r]$' "$work/app/$f" || grep -q '^$' "$work/app/$f"; then
    fail "$f has a line that does not end in CR LF"
  fi
done

echo "== a Wine prefix of its own"
"$wine" wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot: $(tail -n 5 "$work/wineboot.log")"
"$wineserver" -w
# The server stays in this script's session (as in scripts/test-windows.sh): a daemon would take
# the head's terminal as its controlling one.
"$wineserver" -f -p >"$work/wineserver.log" 2>&1 &
server=$!

echo "== the simulated head on COM1"
"$headsim" --baud 9600 --link "$work/line" --trace "$work/trace" >"$work/headsim.out" \
  2>"$work/headsim.err" &
head_pid=$!
for _ in $(seq 50); do
  [ -L "$work/line" ] && break
  sleep 0.1
done
[ -L "$work/line" ] || fail "qzr71-headsim offered no terminal: $(cat "$work/headsim.err")"
echo "COM1 is $(head -n 1 "$work/headsim.out")"

echo "== qzr71adj.exe, started in its folder, through stage 0"
xvfb-run -a -s '-screen 0 1280x1024x24' bash "$0" --on-display "$work"

[ -f "$work/app/comm.ini" ] || fail "no comm.ini in the program's folder"
echo "comm.ini is written in the program's folder"
record=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/qzr71/runs/*.json 2>/dev/null | head -n 1)
[ -n "$record" ] || fail "the run left no record in %LOCALAPPDATA%\\qzr71\\runs"
echo "the run's record: ${record#"$WINEPREFIX"/}"
jq -r '"  tool_version \(.tool_version), port \(.port.device); ended: \(.end.how), last stage " +
  "\(.end.last_stage), result \(.end.result)", "  motor speeds \(.measured.MotorSpeed)"' "$record"
jq -e '.end.how == "window closed" and .end.last_stage == 0 and .end.result == 1 and
  (.measured.MotorSpeed | length == 3 and all(. >= 270 and . <= 450))' "$record" >/dev/null ||
  fail "the record does not show stage 0 completed"
version=$(basename "$zip" | sed -n 's/^qzr71adj-\(.*\)-win64\.zip$/\1/p')
jq -e --arg v "$version" '.tool_version == $v' "$record" >/dev/null ||
  fail "the record's tool_version is not the zip's version $version"
echo "stage 0 completed, by the version the zip's name gives"
echo
echo "check-windows-zip: PASSED ($(basename "$zip"))"
