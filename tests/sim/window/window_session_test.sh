#!/usr/bin/env bash
# The handheld's window on a real X display: Xvfb of our own, the launcher with --window on SDL's
# X11 driver, real X input from xdotool. At each step the window's picture (scaled as the window
# is) must equal the headless picture the session's script takes of the same moment.
#   window_session_test.sh HANDHELD X_WINDOW_TOOL WORK_FOLDER
set -u
handheld=$1 tool=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)

skip() { echo "skipped: $*"; exit 77; }
command -v Xvfb >/dev/null || skip "Xvfb is not installed (Debian package xvfb)"
command -v xdotool >/dev/null || skip "xdotool is not installed (Debian package xdotool)"

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 2
# In the sanitizer builds: what SDL's bus library leaves behind is not ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan.supp"
xvfb_pid="" handheld_pid="" log=""
cleanup() {
  [ -n "$handheld_pid" ] && kill "$handheld_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  [ -n "$log" ] && { echo "--- launcher output"; cat "$log"; }
  exit 1
}

# wait_for SECONDS COMMAND...: until the command succeeds, at most that long.
wait_for() {
  local deadline=$(( $(date +%s%N) + $1 * 1000000000 )); shift
  until "$@"; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# A display of our own: Xvfb picks a free number and writes it once it is ready.
Xvfb -displayfd 3 -screen 0 1400x600x24 -nolisten tcp 3>display.txt 2>xvfb.log &
xvfb_pid=$!
wait_for 20 grep -q '[0-9]' display.txt || fail "Xvfb did not start: $(cat xvfb.log)"
export DISPLAY=":$(tr -d '[:space:]' < display.txt)" SDL_VIDEODRIVER=x11

# start NAME [SCRIPT]: a session of the launcher in a window; sets $window and $log.
start() {
  log=$work/$1.log
  "$handheld" --state "$work/state" --window ${2:+--script "$here/$2"} >"$log" 2>&1 &
  handheld_pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Simulated handheld$' | head -n 1)
  [ -n "$window" ] || fail "$1: no window appeared"
}

# finish NAME: the launcher must exit by itself, with 0.
finish() {
  wait_for 30 bash -c "! kill -0 $handheld_pid 2>/dev/null" || fail "$1: the launcher did not exit"
  wait "$handheld_pid"; local code=$?
  handheld_pid=""
  [ "$code" -eq 0 ] || fail "$1: the launcher exited with $code"
}

# shown TEMPLATE COUNT: the session has shown that dialog COUNT times.
shown() { wait_for 20 bash -c "[ \$(grep -c '(template $1)' '$log') -ge $2 ]" || fail "template $1 was not shown $2 times"; }

# looks_like PICTURE: once the script has taken the headless picture, the window shows it too.
looks_like() {
  wait_for 20 test -f "$work/state/$1.png" || fail "the script took no picture $1"
  if ! wait_for 5 "$tool" match "$window" "$work/state/$1.png" "$work/x-$1.png" >/dev/null; then
    "$tool" match "$window" "$work/state/$1.png" "$work/x-$1.png"
    fail "the window does not show what the headless screen shows ($1.png, x-$1.png)"
  fi
}

# at X Y: a click at the handheld's screen pixel, scaled as the window is now.
at() {
  local size; size=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
  xdotool mousemove --window "$window" $(( ($1 * ${size%x*} + ${size%x*} / 2) / 640 )) \
    $(( ($2 * ${size#*x} + ${size#*x} / 2) / 240 )) click 1
}
key() { xdotool key --clearmodifiers "$@"; }

# Where Tandel's buttons are on the handheld's screen (its dialogs are centred in the work area).
backup="229 76" restore="229 115"
yes="173 170" yes_to_all="317 170" no="467 170" question_text="135 60"

# 1. A click the moment the window shows is not lost: the backup runs to its closing message.
start backup backup.script
at $backup
looks_like backup-done
key Return
finish backup

# 2. Keys and clicks, in a window resized as a window manager may resize it.
start keys keys.script
looks_like main
xdotool mousemove --window "$window" 4 4   # keys go to the window under the pointer
key alt+h
looks_like help
key Return
shown 101 1
xdotool windowsize "$window" 960 360
looks_like main
at $restore
looks_like select
key Escape
shown 101 2
key Tab
key Return
shown 106 2
key Return
looks_like question
# A tap on the question's text brings it to the front should the progress dialog lie over it.
at $question_text
at $no
shown 139 2
at $yes
shown 139 3
at $yes_to_all
looks_like restore-done
key Return
finish keys

# 3. Closing the window over the question ends the session: the restore stops, the program
#    ends and the launcher exits.
start close
at $restore
shown 106 1
key Return
shown 139 1
"$tool" close "$window" || fail "cannot ask the window to close"
finish close
grep -q "The window was closed" "$log" || fail "the close was not taken"
grep -q "Tandel.exe ended" "$log" || fail "the program did not end"
echo "passed"
