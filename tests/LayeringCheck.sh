#!/usr/bin/env bash
# Dependencies run one way: the windows, then the program's parts, then the records of runs, then
# the run layer, then the steps, then the link. No file of the program's parts, the records, the
# run layer, the steps or the link includes a window header (ours or Qt's); nothing below the
# program's parts includes them; the run layer knows nothing of the records; neither skin includes
# the other's. The records alone read and write JSON and render templates.
set -euo pipefail
root=$1
status=0
# check FOLDERS PATTERN [WHAT]: no file of FOLDERS (globs from the root) includes a header whose
# path starts with PATTERN; WHAT (default: the include lines) is what the files are searched for.
check() {
  local folders=$1 pattern=$2 what=${3:-'^#include ["<]'}
  local found
  found=$(cd "$root" && grep -HnE "$what($pattern)" $folders 2>/dev/null || true)
  if [ -n "$found" ]; then
    echo "$found"
    status=1
  fi
}
# Qt's headers are QClassName, QtModule or qtsomething; Qzr71Version.h is the project's own.
check "program/* records/* run/* adjust/* link/*" 'console/|win32/|Q[A-Z]|Qt|qt'
check "records/* run/* adjust/* link/*" 'program/'
check "run/*" 'records/'
check "adjust/* link/*" 'run/|records/'
check "link/*" 'adjust/'
check "console/*" 'win32/'
check "win32/*" 'console/|Q[A-Z]|Qt|qt'

# JSON and Mustache, by header and by CMake target, outside the records and their tests (and
# cmake/, which finds them). The link keeps the choice of serial devices in a JSON file of its own,
# with nlohmann-json.
others="tests/CMakeLists.txt $(cd "$root" && ls -d */ tests/*/ |
  grep -vxE 'records/|tests/|tests/records/|link/|cmake/|build.*/' | sed 's#$#*#' | tr '\n' ' ')"
check "$others" 'nlohmann/|rapidjson/|kainjow/'
check "$others" 'nlohmann_json::|qzr71::rapidjson|qzr71::mustache' '^[^#]*'
exit $status
