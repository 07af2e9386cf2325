#!/usr/bin/env bash
# Renders the pages of real runs in a browser: runs the record tests against the simulated head,
# keeping their records and reports in one folder, writes that folder's index, and has Debian's
# chromium, headless, take a screenshot of one completed run's report and of the index, and print
# the report as PDF (on the browser's default paper). Not part of the test command; look at the
# pictures.
#   bash scripts/screenshot-pages.sh [OUTPUT-FOLDER]      (default build/pages)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh chromium
build=${QZR71_BUILD_DIR:-build/test}
out=${1:-build/pages}
case "$out" in /*) ;; *) out="$root/$out" ;; esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset tests -B "$build" >/dev/null
fi
cmake --build "$build" --target run_record_headsim_test write_runs_index qzr71-headsim

rm -rf "$out"
mkdir -p "$out/runs"
# Every kind of ending once, and a second completed run so that the head has a change to show.
for filter in 'RunRecord/RunRecords.*' 'RunRecord/RunRecords.*/Completed'; do
  QZR71_KEEP_RUNS="$out/runs" "$build/tests/records/run_record_headsim_test" \
    --gtest_filter="$filter" >>"$out/runs.log" 2>&1 ||
    { echo "The runs failed; see $out/runs.log"; exit 1; }
done
"$build/tests/records/write_runs_index" "$out/runs"

report=$(grep -l 'class="result-completed">completed<' "$out"/runs/*.html | grep -v index.html | head -1)
profile=$(mktemp -d "${TMPDIR:-/tmp}/qzr71-chromium.XXXXXX")
trap 'rm -rf "$profile"' EXIT
shoot() {  # URL OUTPUT-OPTION WINDOW-SIZE
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --hide-scrollbars --window-size="$3" "$2" "$1" 2>/dev/null
}
shoot "file://$report" --screenshot="$out/report.png" 1000,3400
shoot "file://$out/runs/index.html" --screenshot="$out/index.png" 1000,2600
shoot "file://$report" --print-to-pdf="$out/report.pdf" 1000,1000
echo "Report:      $report"
echo "Screenshots: $out/report.png, $out/index.png"
echo "Printed:     $out/report.pdf"
