#!/usr/bin/env bash
# Starts the adjustment tool against the simulated head, in a scratch working directory so that
# the user's own comm.ini stays untouched. The simulator stops when the tool exits.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
build=${QZR71_BUILD_DIR:-build/demo}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"

missing=()
[ -x "$build/sim/qzr71-headsim" ] || missing+=("the simulated head (qzr71-headsim)")
[ -x "$build/console/qzr71adj" ] || missing+=("the desktop program (qzr71adj)")
if [ ${#missing[@]} -gt 0 ]; then
  echo "Not built yet: ${missing[*]}."
  exit 1
fi

scratch=$(mktemp -d /tmp/qzr71-demo.XXXXXX)
"$build/sim/qzr71-headsim" --link "$scratch/head" >"$scratch/headsim.out" 2>"$scratch/headsim.err" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null' EXIT
for _ in $(seq 50); do [ -e "$scratch/head" ] && break; sleep 0.1; done
[ -e "$scratch/head" ] || { echo "The simulated head did not start:"; cat "$scratch/headsim.err"; exit 1; }

echo "Simulated head on $(readlink "$scratch/head"); working directory $scratch"
cd "$scratch"
QZR71_COM1="$scratch/head" "$root/$build/console/qzr71adj"
