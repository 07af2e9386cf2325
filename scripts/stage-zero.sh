# Sourced by the checks of the programs as a user gets them (check-package.sh, and
# check-windows-zip.sh): takes a tool that has just been started on a virtual display, with COM1
# leading to the simulated head and no comm.ini yet, through stage 0, and ends it. The caller
# defines fail().
#   stage_zero TOOL_PID TRACE key|click [TOOL_OUTPUT]
# key presses Start with the space bar (it has the keyboard focus), click clicks it with the
# mouse at 404, 79 from the corner of the window (at 96 pixels per inch).

window_named() { timeout "$2" xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1; }
press() { timeout 10 xdotool windowfocus --sync "$1" key --clearmodifiers "$2"; }

stage_zero() {
  local tool=$1 trace=$2 how=$3 output=${4:-/dev/null}
  local title='QZR-71 Adjustment software' box window

  # A first start has no comm.ini yet: the tool says so once, then goes on with COM1.
  box=$(window_named 'READ FILE' 60) || fail "no \"READ FILE\" box at the first start"
  echo "the first start shows the box \"READ FILE\" (no comm.ini yet): OK pressed"
  press "$box" Return
  window=$(window_named "$title" 30) || fail "the window \"$title\" did not show"
  echo "the window \"$title\" shows: $(xdotool getwindowgeometry "$window" | tr -s ' \n' ' ')"

  # The stage runs until the motor stop (10 02 D3 32); a key pressed while a stage runs is
  # swallowed, so Ctrl+X (File > Exit) is pressed until the stage is over and the window closes,
  # which leaves the run's record.
  if [ "$how" = click ]; then
    xdotool mousemove --window "$window" --sync 404 79 click 1
  else
    press "$window" space
  fi
  for _ in $(seq 100); do
    grep -q ' tool B1$' "$trace" && break
    sleep 0.2
  done
  grep -q ' tool B1$' "$trace" || fail "Start sent nothing to the head"
  echo "stage 0 runs (the head got 0xB1)"
  for _ in $(seq 120); do
    kill -0 "$tool" 2>/dev/null || break
    if grep -q ' tool 10 02 D3 32$' "$trace"; then press "$window" ctrl+x 2>/dev/null || true; fi
    sleep 1
  done
  if kill -0 "$tool" 2>/dev/null; then
    kill "$tool"
    fail "the tool did not end after stage 0"
  fi
  wait "$tool" || fail "the tool exited with status $?: $(cat "$output")"
}
