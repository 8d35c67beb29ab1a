#!/usr/bin/env bash
# The Windows check, under Wine on virtual X servers (Xorg with the dummy
# driver, two monitors):
#  1. the display contract: the Qt-free part of the platform layer
#     (tests/platform/win32) cross-built for 64-bit Windows with MinGW-w64
#     into build-win/ and run against the win32 backend;
#  2. the whole program: Qt for Windows built once from Debian's source
#     (scripts/qt-mingw.sh, kept in a cache outside the checkout), tavrin.exe
#     cross-built against it into build-win-app/ with every warning an
#     error, laid out as a user unpacks it in build-win-app/Tavrin/, and used
#     there as a user would, with a tray, keys and clicks through the X
#     server (tests/app/tst_wine_end_to_end, built on Linux in build/).
# The builds and Wine's prefix (build-win/wineprefix) stay for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-win
app_build=$root/build-win-app
program=$app_build/Tavrin

# A 64-bit program needs 64-bit Wine only (no i386 multiarch). Wine loads
# libXrandr (monitors, modes) and libXxf86vm (gamma) by itself; fonts-wine
# holds its Tahoma, Windows' dialog font. The end-to-end test is a Linux
# program of the suite, with its packages.
bash scripts/deps.sh
bash scripts/deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  wine wine64 fonts-wine libxrandr2 libxxf86vm1 xserver-xorg-core xserver-xorg-video-dummy \
  x11-xserver-utils xdotool trayer

status=0

# 1. The contract's program.
if [ ! -f "$build/build.ninja" ]; then
  cmake -S tests/platform/win32 -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
ninja -C "$build"

# 2. Qt for Windows (built once, about a quarter of an hour), the program
# against it, and its folder.
qt=$(bash scripts/qt-mingw.sh)
# Unity sources (several files compiled as one) keep the build to about a
# minute on two cores.
cmake -S . -B "$app_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_FIND_ROOT_PATH="$qt" -DCMAKE_PREFIX_PATH="$qt" \
      -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
      -DTAVRIN_TESTS=OFF -DTAVRIN_BENCHMARKS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
ninja -C "$app_build"
rm -rf "$program"
cmake --install "$app_build" --prefix "$program" >/dev/null

# Every DLL that the executable, the DLLs and the plugins of the folder load
# is in the folder or is one of Windows' own: those Wine carries as well,
# and the API sets (api-ms-*, ext-ms-*) that Windows' loader maps itself.
windows_dlls=$(ls /usr/lib/x86_64-linux-gnu/wine/x86_64-windows | tr 'A-Z' 'a-z')
missing=0
while IFS= read -r -d '' file; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    name=$(echo "$dll" | tr 'A-Z' 'a-z')
    case "$name" in api-ms-*|ext-ms-*) continue ;; esac
    if [ ! -f "$program/$dll" ] && ! grep -qx "$name" <<<"$windows_dlls"; then
      echo "${file#"$program"/} loads $dll, which is neither in the folder nor a Windows DLL." >&2
      missing=1
    fi
  done
done < <(find "$program" -iname '*.exe' -print0 -o -iname '*.dll' -print0)
[ $missing -eq 0 ] || exit 1
echo "Windows program: $program ($(find "$program" -type f | wc -l) files, $(du -sh "$program" | cut -f1))"

# The Linux side of the end-to-end test.
bash scripts/build.sh tst_wine_end_to_end

work=$(mktemp -d)
xorg_pid=""
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
# No .NET or HTML engine: nothing asks to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
end_wine() {
  # Wine's server for this prefix and the programs it started (explorer,
  # services), all of them this script's.
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
}
stop() {
  trap - INT TERM EXIT
  end_wine
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
# Wine finds its own fonts in the Fonts folder of the prefix, as Windows
# keeps them. Without Tahoma, "MS Shell Dlg 2" falls back to whatever the
# machine has (here a math font whose line height is four times its size),
# and Qt draws a line edit's text outside the field.
for font in /usr/share/wine/fonts/*.ttf; do
  [ -f "$WINEPREFIX/drive_c/windows/Fonts/${font##*/}" ] ||
    cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done

echo "The display contract under Wine, on the virtual X server :$n (DUMMY0, DUMMY1):"
(cd "$build" && ctest --verbose) || status=1
end_wine

# The end-to-end test starts an X server and a tray of its own per case.
echo "The Windows program under Wine ($program):"
TAVRIN_WINDOWS_PROGRAM=$program "$root/build/tests/app/tst_wine_end_to_end" || status=1
exit $status
