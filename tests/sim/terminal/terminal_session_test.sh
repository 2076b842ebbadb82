#!/usr/bin/env bash
# Tandel in the terminal, used as a person uses it: the launcher with --terminal in a tmux pane,
# typed at with send-keys and read back with capture-pane.
#   terminal_session_test.sh HANDHELD WORK_FOLDER
set -u
handheld=$1 work=$2

command -v tmux >/dev/null || { echo "skipped: tmux is not installed (Debian package tmux)"; exit 77; }

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 2
tmux=(tmux -L "tandel-terminal-test-$$")
trap '"${tmux[@]}" kill-server 2>/dev/null' EXIT
fail() {
  echo "FAILED: $*"
  echo "--- the pane"; cat screen.txt 2>/dev/null
  exit 1
}

wait_for() {
  local deadline=$(( $(date +%s%N) + $1 * 1000000000 )); shift
  until "$@"; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}
shows() { "${tmux[@]}" capture-pane -p -t session > screen.txt 2>/dev/null && grep -qF -- "$1" screen.txt; }
expect_shown() { wait_for 20 shows "$1" || fail "the pane does not show: $1"; }
type_line() { "${tmux[@]}" send-keys -t session -l "$1" && "${tmux[@]}" send-keys -t session Enter; }

# start: a session of the launcher in a fresh pane; its exit code lands in exit.txt.
start() {
  rm -f exit.txt
  "${tmux[@]}" kill-server 2>/dev/null
  "${tmux[@]}" new-session -d -s session -x 100 -y 40 \
    "'$handheld' --state '$work/state' --terminal; echo \$? > '$work/exit.txt'" || fail "tmux cannot start"
}
ended_with_0() {
  wait_for 20 test -s exit.txt || fail "the launcher did not exit"
  [ "$(cat exit.txt)" = 0 ] || fail "the launcher exited with $(cat exit.txt)"
}

# A backup: the progress and the closing message come up without another key.
start
expect_shown "[Backup]"
type_line "help"
expect_shown "press CONTROL"
type_line "press Backup"
expect_shown "Operation Complete"
type_line "key Enter"
ended_with_0

# A restore: the question's long text stays inside its window; quit ends the session.
start
expect_shown "[Restore]"
type_line "press Restore"
expect_shown "[OK]"
type_line "key Enter"
expect_shown "[Yes to All]"
# Right of the question's frame there is nothing on any of its rows.
awk '/Confirm Replace/ { right = index($0, "[X]+") + 3; top = NR }
     right && NR > top && length($0) > right && substr($0, right + 1) ~ /[^ ]/ { bad = 1; print }
     right && NR > top && /^ *\+-+\+ *$/ { exit }
     END { exit bad }' screen.txt || fail "the question's text runs outside its window"
grep -q "already exist" screen.txt || fail "the question's text is not shown"
type_line "quit"
ended_with_0
echo "passed"
