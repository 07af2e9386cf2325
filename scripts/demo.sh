#!/usr/bin/env bash
# Starts the adjustment tool against the simulated head: installs what is missing, builds the two
# programs, serves the simulated head on a pseudo-terminal, points COM1 at it and starts the tool
# in a scratch working directory, so that the user's own comm.ini stays untouched. The simulator
# stops, and the scratch directory goes, when the tool exits. The records of the demo's runs go to
# the build folder's runs/ (or $QZR71_RUNS_DIR when set), never among a workshop's own records,
# and stay there after the demo; the tool prints the path of each run's report page.
#   bash scripts/demo.sh                     on the desktop
#   bash scripts/demo.sh --virtual-display   on a machine without one: on a virtual X display
set -euo pipefail
started_in=$PWD
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = "--virtual-display" ] && [ -z "${QZR71_DEMO_VIRTUAL:-}" ]; then
  # A fresh system has no X server: bring one, then start again inside it.
  bash "$root/scripts/install-deps.sh" xvfb xauth
  export QZR71_DEMO_VIRTUAL=1
  exec xvfb-run -a bash "$root/scripts/demo.sh" "$@"
fi
cd "$root"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display to show the tool on. Run this in a desktop session, or on a virtual"
  echo "display: bash scripts/demo.sh --virtual-display"
  exit 1
fi

bash scripts/install-deps.sh
build=${QZR71_BUILD_DIR:-build/demo}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
cmake --preset demo -B "$build" >/dev/null
cmake --build "$build" --target qzr71adj qzr71-headsim

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qzr71-demo.XXXXXX")
sim=
tool=
cleanup() {
  if [ -n "$tool" ]; then
    kill "$tool" 2>/dev/null || true
    wait "$tool" 2>/dev/null || true
  fi
  if [ -n "$sim" ]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# At the line's pace of the settings below, as a real head answers: a run takes as long as it
# would, and Opiton > Levels has the time to show each step as it goes.
"$build/sim/qzr71-headsim" --link "$scratch/head" --baud 9600 \
  >"$scratch/headsim.out" 2>"$scratch/headsim.err" &
sim=$!
for _ in $(seq 100); do
  [ -e "$scratch/head" ] && break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.1
done
if [ ! -e "$scratch/head" ]; then
  echo "The simulated head did not start:"
  cat "$scratch/headsim.err"
  exit 1
fi

# The default settings, so that the first start does not stop at the "no settings file" box.
printf '%s\r\n' "*** BILL VALIDATOR QZR-71 ***" "BORDRATE:CBR_9600" "COMPORT:COM1" \
  "STOPBIT:ONESTOPBIT" >"$scratch/comm.ini"

runs=${QZR71_RUNS_DIR:-$build/runs}
case "$runs" in /*) ;; *) runs="$started_in/$runs" ;; esac
echo "Simulated head on $(readlink "$scratch/head"), as COM1; working directory $scratch"
echo "Records of the runs go to $runs"
if [ -n "${QZR71_DEMO_VIRTUAL:-}" ]; then
  echo "The tool runs on the virtual display $DISPLAY, where nobody sees it; Ctrl+C ends it."
fi
cd "$scratch"
# In the background, so that a signal to this script ends the tool too instead of waiting for it.
QZR71_COM1="$scratch/head" QZR71_RUNS_DIR="$runs" "$build/console/qzr71adj" &
tool=$!
status=0
wait "$tool" || status=$?
tool=
exit "$status"
