#!/usr/bin/env bash
# Builds Tavrin and starts it. On a machine with an X display it runs there.
# Without one it starts a virtual X server (Xorg with the dummy driver) with
# two monitors on a free display number, runs Tavrin on it and shows the log
# as it grows; Ctrl+C stops both.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
bash scripts/build.sh tavrin

binary="$PWD/build/app/tavrin"
log="$PWD/build/app/Log.txt"

if [ -n "${DISPLAY:-}" ] && xrandr -q >/dev/null 2>&1; then
  exec "$binary" "$@"
fi

# No X display: a virtual one.
n=20
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
work=$(mktemp -d)
xorg_pid=""
tavrin_pid=""
tail_pid=""
stop() {
  trap - INT TERM EXIT
  if [ -n "$tavrin_pid" ]; then
    # Ended as a logout would: its exit handler writes its lines and puts
    # the linear curve back where it should.
    kill -TERM "$tavrin_pid" 2>/dev/null || true
    wait "$tavrin_pid" 2>/dev/null || true
  fi
  sleep 0.3  # let the log's last lines reach the screen
  [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null || true
  if [ -n "$xorg_pid" ]; then
    kill -TERM "$xorg_pid" 2>/dev/null || true
    wait "$xorg_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  echo
  echo "Stopped Tavrin and the virtual X server :$n."
}
trap stop INT TERM EXIT

Xorg ":$n" -config "$PWD/scripts/xorg-dummy.conf" -logfile "$work/Xorg.log" \
     -noreset -nolisten tcp -novtswitch -sharevts >/dev/null 2>&1 &
xorg_pid=$!
for _ in $(seq 100); do
  DISPLAY=":$n" xrandr -q >/dev/null 2>&1 && break
  sleep 0.1
done
export DISPLAY=":$n"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
xrandr --output DUMMY0 --mode 1920x1080
xrandr --addmode DUMMY1 1280x1024
xrandr --output DUMMY1 --mode 1280x1024 --right-of DUMMY0

echo "No X display here: started a virtual X server on :$n with two monitors (DUMMY0, DUMMY1)."
[ $# -gt 0 ] || set -- -start
echo "Starting Tavrin $* on it; its log is $log."
echo
# From the end of an earlier run's log, or from the start of a new one.
if [ -e "$log" ]; then from=$(($(wc -c <"$log") + 1)); else from=1; fi
tail -c "+$from" -F "$log" 2>/dev/null &
tail_pid=$!
"$binary" "$@" &
tavrin_pid=$!

# Another program replaces DUMMY0's gamma table after a while: with
# "Lock loaded profiles" on, Tavrin sets it back on its next pass.
sleep 5
if kill -0 "$tavrin_pid" 2>/dev/null; then
  echo ">>> Another program changes DUMMY0's gamma (xrandr --gamma 0.6:0.6:0.6)."
  xrandr --output DUMMY0 --gamma 0.6:0.6:0.6
fi
wait "$tavrin_pid" || true
tavrin_pid=""
