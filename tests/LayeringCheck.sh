#!/usr/bin/env bash
# Dependencies run one way: the windows, then the run layer, then the steps, then the link. No
# file of the run layer, the steps or the link includes a window header (ours or Qt's), and
# neither skin includes the other's.
set -euo pipefail
root=$1
status=0
check() {
  local folders=$1 pattern=$2
  local found
  found=$(cd "$root" && grep -HnE "^#include [\"<]($pattern)" $folders 2>/dev/null || true)
  if [ -n "$found" ]; then
    echo "$found"
    status=1
  fi
}
check "run/* adjust/* link/*" 'console/|win32/|Q[A-Za-z]|qt'
check "adjust/* link/*" 'run/'
check "link/*" 'adjust/'
check "console/*" 'win32/'
check "win32/*" 'console/|Q[A-Za-z]'
exit $status
