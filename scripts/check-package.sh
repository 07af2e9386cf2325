#!/usr/bin/env bash
# Tries the Debian package the way a technician would, on a clean Debian 12 machine (or chroot),
# as root: it installs and removes packages and adds a user. Too slow for CI; run it before a
# release, on the package that scripts/package.sh made:
#   bash scripts/check-package.sh [dist/qzr71-adjust_VERSION-1_ARCH.deb]
# In turn:
#   1. apt-get install ./the.deb pulls in runtime libraries only: no compiler, no -dev package,
#      no build tool;
#   2. the installed qzr71-headsim serves a pseudo-terminal;
#   3. the installed qzr71adj, started as a user by the Exec line of its desktop entry on a
#      virtual display, with QZR71_COM1 at that terminal, shows its window and completes stage 0
#      (the motor speed check), which its run record confirms;
#   4. man qzr71adj and man qzr71-headsim show their pages;
#   5. apt-get remove leaves nothing of the package behind, only the user's own files, and
#      apt-get autoremove then takes all it pulled in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
user=qzr71check

step() { printf '\n== %s\n' "$*"; }
fail() {
  echo "check-package: FAILED: $*" >&2
  exit 1
}

# Step 3 runs as the user, inside the virtual display: starts the program as the desktop would,
# takes it through stage 0 by its keyboard (scripts/stage-zero.sh), and ends it. Arguments: the
# head's device, its trace.
if [ "${1:-}" = "--on-display" ]; then
  device=$2
  trace=$3
  exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/qzr71adj.desktop)
  exec_line=$(echo "$exec_line" | sed 's/ *%[fFuUick]//g')  # no files or URLs to hand over
  cd "$HOME"
  QZR71_COM1=$device sh -c "exec $exec_line" >"$HOME/tool.out" 2>&1 &
  tool=$!
  # shellcheck source=scripts/stage-zero.sh
  source "$(dirname "$0")/stage-zero.sh"
  stage_zero "$tool" "$trace" key "$HOME/tool.out"
  exit 0
fi

[ "$(id -u)" = 0 ] || fail "run it as root, on a machine you may install packages on"
deb=${1:-$(ls "$root"/dist/qzr71-adjust_*.deb 2>/dev/null | tail -n 1)}
[ -f "$deb" ] || fail "no package: run scripts/package.sh first, or name the .deb"
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d /tmp/check-package.XXXXXX)
chmod 755 "$work"
headsim=
cleanup() {
  [ -n "$headsim" ] && kill "$headsim" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Every file and folder outside the places where the package system, logs, caches and users keep
# theirs (and the virtual display its compiled keymaps).
system_files() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
    -o -path /home -o -path /root -o -path /var/lib/apt -o -path /var/lib/dpkg \
    -o -path /var/cache -o -path /var/log -o -path /var/lib/xkb -o -path /src -o -path /out \) \
    -prune \
    -o -print | sort
}
packages() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" {print $2}'; }

# The technician's account, made first: it belongs to the machine, not to the package.
useradd --create-home "$user"
home=$(getent passwd "$user" | cut -d: -f6)
install -d -o "$user" "$work/head"

step "1. apt-get install $(basename "$deb")"
apt-get update -q >/dev/null
packages >"$work/packages.before"
apt-get install -y -q "$deb" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
packages >"$work/packages.after"
comm -13 "$work/packages.before" "$work/packages.after" >"$work/pulled"
echo "$(wc -l <"$work/pulled") packages installed, qzr71-adjust and what it pulled in:"
fmt -w 100 "$work/pulled" | sed 's/^/  /'
build_tools='(-dev|-dev-bin)$|^(gcc|g\+\+|cpp|clang|llvm|binutils|make|cmake|ninja-build|dpkg-dev|build-essential|pkg-?conf|libtool|autoconf|automake|patch)(-[0-9.]+)?(-x86-64-linux-gnu)?$'
if grep -E "$build_tools" "$work/pulled"; then fail "the package pulls in build tools (above)"; fi
echo "none of them is a compiler, a -dev package or a build tool"
dpkg -L qzr71-adjust >"$work/owned"
for f in /usr/bin/qzr71adj /usr/bin/qzr71-headsim /usr/share/applications/qzr71adj.desktop \
  /usr/share/icons/hicolor/48x48/apps/qzr71adj.png /usr/share/man/man1/qzr71adj.1.gz \
  /usr/share/man/man1/qzr71-headsim.1.gz /usr/share/doc/qzr71-adjust/copyright; do
  [ -e "$f" ] || fail "$f is not installed"
done
echo "programs, desktop entry, icons, manual pages and copyright are in place"

# The check's own tools come after the package, so that they hide nothing it should have pulled.
check_tools="xvfb xauth xdotool man-db jq"
apt-get install -y -q --no-install-recommends $check_tools >/dev/null
system_files >"$work/files.ready"

step "2. qzr71-headsim serves a pseudo-terminal"
trace=$work/head/trace
runuser -u "$user" -- qzr71-headsim --baud 9600 --trace "$trace" >"$work/headsim.out" \
  2>"$work/headsim.err" &
headsim=$!
for _ in $(seq 50); do
  [ -s "$work/headsim.out" ] && break
  sleep 0.1
done
device=$(head -n 1 "$work/headsim.out")
[ -c "$device" ] || fail "qzr71-headsim offered no terminal: $(cat "$work/headsim.err")"
echo "qzr71-headsim offers $device ($(qzr71-headsim --version))"

step "3. qzr71adj from its desktop entry, on a virtual display, through stage 0"
grep '^Exec=' /usr/share/applications/qzr71adj.desktop
cp "$0" "$root/scripts/stage-zero.sh" "$work/"
runuser -u "$user" -- env HOME="$home" xvfb-run -a -s '-screen 0 1280x1024x24' \
  bash "$work/check-package.sh" --on-display "$device" "$trace"
record=$(ls "$home"/.local/share/qzr71/runs/*.json 2>/dev/null | head -n 1)
[ -n "$record" ] || fail "the run left no record in ~/.local/share/qzr71/runs"
echo "the run's record: ${record#"$home"/}"
jq -r '"  tool_version \(.tool_version), port \(.port.device); ended: \(.end.how), last stage " +
  "\(.end.last_stage), result \(.end.result)", "  motor speeds \(.measured.MotorSpeed)",
  "  log at the end: \([.end.log[] | select(. != "")] | join(" | "))"' "$record"
jq -e '.end.how == "window closed" and .end.last_stage == 0 and .end.result == 1 and
  (.measured.MotorSpeed | length == 3 and all(. >= 270 and . <= 450))' "$record" >/dev/null ||
  fail "the record does not show stage 0 completed"
echo "stage 0 completed"

step "4. man qzr71adj, man qzr71-headsim"
for page in qzr71adj qzr71-headsim; do
  man -P cat "$page" 2>/dev/null | grep -q "^NAME" || fail "man $page shows no page"
  man -P cat "$page" 2>/dev/null | sed -n '/^NAME/{n;p}'
done

step "5. apt-get remove qzr71-adjust"
kill "$headsim"
wait "$headsim" 2>/dev/null || true
headsim=
apt-get remove -y -q qzr71-adjust >/dev/null
left=$(dpkg-query -W -f='${db:Status-Abbrev}' qzr71-adjust 2>/dev/null || true)
case "$left" in "" | un*) ;; *) fail "dpkg still knows qzr71-adjust: $left" ;; esac
system_files >"$work/files.removed"
comm -13 "$work/files.ready" "$work/files.removed" >"$work/appeared"
if [ -s "$work/appeared" ]; then
  cat "$work/appeared"
  fail "running the programs and removing the package left these behind"
fi
# Caches that the desktop's triggers made for the package's icons may go with them; a file that
# another package owns may not.
comm -23 "$work/files.ready" "$work/files.removed" | grep -vxF -f "$work/owned" >"$work/gone" || true
while read -r path; do
  if dpkg -S "$path" >/dev/null 2>&1; then fail "removing the package took $path"; fi
  echo "gone with the package's icons, a cache no package owns: $path"
done <"$work/gone"
while read -r path; do
  [ "$path" = /. ] && continue
  # A folder of the package stays only where another package has it too.
  if [ -d "$path" ]; then
    dpkg -S "$path" >/dev/null 2>&1 || fail "$path is left behind"
  elif [ -e "$path" ]; then
    fail "$path is left behind"
  fi
done <"$work/owned"
echo "every file of the package is gone, and nothing else came or went outside the homes"
echo "the user's own files, which stay:"
(cd "$home" && find . -type f ! -name '.bash*' ! -name .profile ! -name tool.out | sort |
  sed 's/^\./  ~/')

# What the package pulled in was marked as pulled in: once the check's own tools are gone too,
# apt-get autoremove takes all of it.
tools=$(comm -23 <(printf '%s\n' $check_tools | sort) "$work/packages.before")
apt-get purge -y -q $tools >/dev/null
apt-get autoremove --purge -y -q >/dev/null
if packages | grep -xF -f "$work/pulled"; then fail "apt-get autoremove kept these (above)"; fi
echo "apt-get autoremove takes the $(($(wc -l <"$work/pulled") - 1)) packages it pulled in"
echo
echo "check-package: PASSED ($(basename "$deb"))"
