#!/usr/bin/env bash
# Runs a program on the current X display as a user watching it would: each message
# box is dismissed with the Return key once it shows, and while the program's other
# window is up between the first and the second box the screen is photographed
# again and again.
#   desktop_session.sh PROGRAM WORK_DIR OUT_DIR
# OUT_DIR receives: started, stdout, stderr, status (the exit status), boxes (how
# many boxes were dismissed) and shot-NNN.png.
set -u
program=$1 work=$2 out=$3
: >"$out/started"
cd "$work" || exit 1

"$program" >"$out/stdout" 2>"$out/stderr" &
pid=$!

# The program's visible dialog windows.
dialogs() {
  local window
  for window in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    xprop -id "$window" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && echo "$window"
  done
}

# Photographs the screen until told to stop: a process of its own, so that the
# search for dialogs never delays a shot on a busy machine.
shoot() {
  local shots=0
  while [ ! -e "$out/stop-shots" ]; do
    shots=$((shots + 1))
    import -window root "$(printf '%s/shot-%03d.png' "$out" "$shots")" 2>/dev/null
  done
}

stop_shooting() {
  [ -n "$shooter" ] && : >"$out/stop-shots" && wait "$shooter"
  shooter=
}

boxes=0
shooter=
deadline=$((SECONDS + 60))
while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
  box=$(dialogs | head -n 1)
  if [ -n "$box" ]; then
    boxes=$((boxes + 1))
    stop_shooting
    xdotool windowfocus --sync "$box" key Return 2>/dev/null
    # Wait until it has gone before looking for the next one.
    while kill -0 "$pid" 2>/dev/null && dialogs | grep -qx "$box" && [ "$SECONDS" -lt "$deadline" ]; do
      sleep 0.05
    done
    if [ "$boxes" -eq 1 ]; then
      shoot &
      shooter=$!
    fi
  else
    sleep 0.05
  fi
done
stop_shooting

if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  echo "the program did not end in time" >>"$out/stderr"
fi
wait "$pid"
echo $? >"$out/status"
echo "$boxes" >"$out/boxes"
