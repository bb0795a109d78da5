#!/usr/bin/env bash
# Runs a program on the current X display as a user would: each message box is
# dismissed with the Return key once it shows.
#   desktop_session.sh PROGRAM WORK_DIR OUT_DIR
# OUT_DIR receives: started, stdout, stderr, status (the exit status) and boxes (how
# many boxes were dismissed).
set -u
program=$1 work=$2 out=$3
: >"$out/started"
cd "$work" || exit 1

"$program" >"$out/stdout" 2>"$out/stderr" &
pid=$!

# The program's first visible dialog window.
dialog() {
  local window
  for window in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    xprop -id "$window" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && echo "$window" && return
  done
}

boxes=0
deadline=$((SECONDS + 60))
while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
  box=$(dialog)
  if [ -n "$box" ]; then
    boxes=$((boxes + 1))
    xdotool windowfocus --sync "$box" key Return 2>/dev/null
    # Wait until it has gone before looking for the next one.
    while kill -0 "$pid" 2>/dev/null && [ "$(dialog)" = "$box" ] && [ "$SECONDS" -lt "$deadline" ]; do
      sleep 0.05
    done
  else
    sleep 0.05
  fi
done

if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  echo "the program did not end in time" >>"$out/stderr"
fi
wait "$pid"
echo $? >"$out/status"
echo "$boxes" >"$out/boxes"
