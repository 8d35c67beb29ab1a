#!/usr/bin/env bash
# The Windows check: cross-builds the Qt-free part of the platform layer for
# 64-bit Windows with MinGW-w64 (tests/platform/win32) and runs the display
# contract against the win32 backend under Wine, on a virtual X server of its
# own (Xorg with the dummy driver, two monitors). The build and Wine's prefix
# stay in build-win/ for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-win

# A 64-bit test program needs 64-bit Wine only (no i386 multiarch). Wine
# loads libXrandr (monitors, modes) and libXxf86vm (gamma) by itself.
bash scripts/deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 \
  libxrandr2 libxxf86vm1 xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils

if [ ! -f "$build/build.ninja" ]; then
  cmake -S tests/platform/win32 -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
ninja -C "$build"

work=$(mktemp -d)
xorg_pid=""
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
# No .NET or HTML engine: nothing asks to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
stop() {
  trap - INT TERM EXIT
  # Wine's server for this prefix and the programs it started (explorer,
  # services), all of them this script's.
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  if [ -n "$xorg_pid" ]; then
    kill -TERM "$xorg_pid" 2>/dev/null || true
    wait "$xorg_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop INT TERM EXIT

# Xorg on the first free display number from a spread start; a number taken
# between the check and the start is passed over.
n=$((20 + $$ % 400))
while :; do
  if [ $n -ge 1000 ]; then echo "No free X display number." >&2; exit 1; fi
  if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then n=$((n + 1)); continue; fi
  Xorg ":$n" -config "$root/scripts/xorg-dummy.conf" -logfile "$work/Xorg.log" \
       -noreset -nolisten tcp -novtswitch -sharevts >"$work/xorg.out" 2>&1 &
  xorg_pid=$!
  for _ in $(seq 200); do
    kill -0 "$xorg_pid" 2>/dev/null || break
    DISPLAY=":$n" xrandr -q >/dev/null 2>&1 && break 2
    sleep 0.1
  done
  kill -TERM "$xorg_pid" 2>/dev/null || true
  wait "$xorg_pid" 2>/dev/null || true
  xorg_pid=""
  if ! grep -q "already active" "$work/xorg.out" "$work/Xorg.log" 2>/dev/null; then
    echo "Xorg did not start:" >&2
    tail -20 "$work/xorg.out" "$work/Xorg.log" >&2 || true
    exit 1
  fi
  n=$((n + 1))
done
export DISPLAY=":$n"
xrandr --output DUMMY0 --mode 1920x1080
xrandr --addmode DUMMY1 1280x1024
xrandr --output DUMMY1 --mode 1280x1024 --right-of DUMMY0
# The query probes the outputs, as plugging a monitor in would: DUMMY1
# reports itself connected from then on.
xrandr -q >/dev/null

# Wine's first start builds its prefix (about 15 s); later runs reuse it.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX."
  if ! timeout 300 wineboot --init >"$work/wineboot.log" 2>&1; then
    cat "$work/wineboot.log" >&2
    rm -rf "$WINEPREFIX"
    exit 1
  fi
fi

echo "The display contract under Wine, on the virtual X server :$n (DUMMY0, DUMMY1):"
cd "$build" && ctest --verbose
