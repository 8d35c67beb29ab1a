# A virtual X server for scripts, to be sourced:
#   . scripts/virtual-display.sh
#   start_virtual_display WORK_DIR    # Xorg (dummy driver) on a free :N
#   ...                               # DISPLAY is set, $xorg_pid is its PID
#   stop_virtual_display              # stops it by that PID
# Two monitors: DUMMY0 at 1920x1080 and DUMMY1 at 1280x1024 right of it.

xorg_pid=""

start_virtual_display() {
  local work=$1 config n
  config="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/xorg-dummy.conf"
  # The first free display number from a spread start; a number taken
  # between the check and the start makes Xorg give up, and the next is tried.
  for ((n = 20 + $$ % 400; n < 1000; n++)); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xorg ":$n" -config "$config" -logfile "$work/Xorg.log" \
         -noreset -nolisten tcp -novtswitch -sharevts >"$work/xorg.out" 2>&1 &
    xorg_pid=$!
    if wait_for_display ":$n"; then
      export DISPLAY=":$n"
      xrandr --output DUMMY0 --mode 1920x1080
      xrandr --addmode DUMMY1 1280x1024
      xrandr --output DUMMY1 --mode 1280x1024 --right-of DUMMY0
      # The query probes the outputs: DUMMY1 reports itself connected.
      xrandr -q >/dev/null
      return 0
    fi
    stop_virtual_display
    grep -qs "already active" "$work/xorg.out" "$work/Xorg.log" || break
  done
  echo "Xorg did not start:" >&2
  tail -20 "$work/xorg.out" "$work/Xorg.log" >&2 || true
  return 1
}

# True once the server on display $1 answers, false if it ended first.
wait_for_display() {
  local _
  for _ in $(seq 200); do
    kill -0 "$xorg_pid" 2>/dev/null || return 1
    DISPLAY=$1 xrandr -q >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

stop_virtual_display() {
  [ -n "$xorg_pid" ] || return 0
  kill -TERM "$xorg_pid" 2>/dev/null || true
  wait "$xorg_pid" 2>/dev/null || true
  xorg_pid=""
}
