#!/usr/bin/env bash
# Makes the README's pictures from the real program: starts Tavrin on a
# virtual X server with a tray (trayer), lets it detect the two monitors,
# associates a colord profile with a mode through the keyboard, and writes
#   docs/main-window.png      the main window, the mode and its profile selected
#   docs/settings-window.png  the settings window
#   docs/tray-menu.png        the tray icon with its menu open
# Run it again after a change of the windows; it replaces the three files.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/deps.sh
bash scripts/build.sh tavrin
. scripts/virtual-display.sh

profile=/usr/share/color/icc/colord/Gamma6500K.icc
work=$(mktemp -d)
trayer_pid=""
tavrin_pid=""
stop() {
  trap - INT TERM EXIT
  for pid in $tavrin_pid $trayer_pid; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  stop_virtual_display
  rm -rf "$work"
}
trap stop INT TERM EXIT

# Waits until the command "$@" succeeds, for ten seconds at most.
wait_until() {
  local _
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  echo "Gave up waiting for: $*" >&2
  return 1
}
# Types xdotool key names into the focused window, each with its effect.
keys() {
  local key
  for key in "$@"; do
    xdotool key "$key"
    sleep 0.15
  done
}
visible_windows() { xdotool search --onlyvisible "$@" 2>/dev/null; }
# The geometry of window $1 as the shell variables X, Y, WIDTH and HEIGHT.
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }
# A PNG without time stamps, so that an unchanged picture stays the same file.
capture() { import "$@" -define png:exclude-chunks=date,time; }

start_virtual_display "$work"
xsetroot -solid '#4a6f8a'
trayer --edge top --align right --widthtype request --height 24 --SetDockType false \
       --transparent true --alpha 0 --tint 0xe8e8e8 &
trayer_pid=$!
wait_until visible_windows --class trayer >/dev/null

# A copy of the program with files of its own, the update check off.
cp build/app/tavrin "$work/tavrin"
printf '%s' "[1.05]
defCPAssocMode = 1
loadLinearCurveByDefault = 1
loadLinearCurveOnExit = 1
lockLoadedProfiles = 1
pollingPeriod = 1000
LUTBitDepth = 0
enableTrayIcon = 1
checkForUpdates = 0
updateAvailable = 0
runOnStartup = 0" >"$work/Settings.txt"
# No session bus: the tray icon is the X11 one, embedded by trayer.
env -C "$work" -u DBUS_SESSION_BUS_ADDRESS HOME="$work" XDG_CONFIG_HOME="$work/config" \
  QT_QPA_PLATFORM=xcb ./tavrin -start >/dev/null 2>"$work/tavrin.err" &
tavrin_pid=$!
wait_until visible_windows --name '^Tavrin v[0-9.]+$' >/dev/null
main=$(visible_windows --name '^Tavrin v[0-9.]+$' | head -1)
xdotool windowfocus --sync "$main"

# The keyboard starts on the monitors' "Detect": both monitors, with their
# resolutions and modes. Then down the tab order: the first monitor, the
# resolution 1920x1080 (found by typing it), its mode, "Associate", "Color
# profile", the path field with the profile's path, "Associate Profile".
keys space
monitors_detected() { [ "$(grep -cs '<Monitor>' "$work/Tree.txt")" = 2 ]; }
wait_until monitors_detected
keys Tab Tab space Tab Tab Tab
xdotool type --delay 20 1920x1080
keys Tab Tab Tab space Tab space Tab space Tab Tab
xdotool type --delay 10 "$profile"
keys Tab Tab space
wait_until grep -q "Associating profile" "$work/Log.txt"
sleep 0.5
capture -window "$main" "$root/docs/main-window.png"

# "Settings" under "Tools": open the menu bar's first menu with the mouse,
# step right to "Tools" and choose its one entry.
geometry "$main"
xdotool mousemove --sync $((X + 12)) $((Y + 10)) click 1
sleep 0.3
keys Right Return
wait_until visible_windows --name '^Settings$' >/dev/null
settings=$(visible_windows --name '^Settings$' | head -1)
sleep 0.3
capture -window "$settings" "$root/docs/settings-window.png"
xdotool windowfocus --sync "$settings"
keys Tab space  # "Cancel"

# The tray icon (a small window of the program's, inside trayer) and the
# menu that a right click on it opens, with the tray bar around them.
icon=""
for id in $(visible_windows --classname tavrin); do
  geometry "$id"
  if [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -le 64 ]; then icon=$id; fi
done
[ -n "$icon" ] || { echo "No tray icon." >&2; exit 1; }
# Opened at the icon's lower left corner, the menu leaves the icon in sight.
geometry "$icon"
xdotool mousemove --sync "$X" $((Y + HEIGHT - 1)) click 3
sleep 0.5
menu=""
for id in $(visible_windows --classname tavrin); do
  [ "$id" != "$icon" ] && [ "$id" != "$main" ] && menu=$id
done
[ -n "$menu" ] || { echo "The tray menu did not open." >&2; exit 1; }
geometry "$menu"
left=$((X - 60)) bottom=$((Y + HEIGHT + 30))
geometry "$(visible_windows --class trayer | head -1)"
right=$((X + WIDTH))
capture -window root -crop "$((right - left))x${bottom}+${left}+0" +repage "$root/docs/tray-menu.png"
keys Escape

echo "Wrote docs/main-window.png, docs/settings-window.png and docs/tray-menu.png."
