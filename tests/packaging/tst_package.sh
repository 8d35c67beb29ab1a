#!/usr/bin/env bash
# The Debian package, unpacked into a scratch root (dpkg -x): every file
# where the desktop looks for it, and the installed program keeps its files
# in ~/.local/share/Tavrin since it cannot write beside its executable.
#   tst_package.sh BUILD_DIR/CPackConfig.cmake
set -euo pipefail
config=$1

work=$(mktemp -d)
tavrin_pid=""
cleanup() {
  if [ -n "$tavrin_pid" ]; then kill -KILL "$tavrin_pid" 2>/dev/null || true; fi
  chmod -R u+w "$work"
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# True when the package holds the file $1; a failure otherwise.
check_file() { [ -f "$root/$1" ] || { fail "no $1"; return 1; }; }

cpack --config "$config" -G DEB -B "$work/out" >"$work/cpack.log" || { cat "$work/cpack.log"; exit 1; }
deb=$(echo "$work"/out/tavrin_*.deb)
root=$work/root
dpkg -x "$deb" "$root"
echo "Unpacked $(basename "$deb")"

# The program, on the PATH of every user.
[ -x "$root/usr/bin/tavrin" ] || fail "no executable usr/bin/tavrin"

# The application menu's entry starts it and names its icon.
entry=usr/share/applications/tavrin.desktop
if check_file "$entry"; then
  grep -qx 'Exec=tavrin -start' "$root/$entry" || fail "$entry does not start tavrin with its watch loop"
  grep -qx 'Icon=tavrin' "$root/$entry" || fail "$entry does not name the icon tavrin"
fi

# The icon in the hicolor theme, each size as large as its folder says.
for size in 16 22 24 32 48 64 128 256; do
  icon=usr/share/icons/hicolor/${size}x${size}/apps/tavrin.png
  if check_file "$icon"; then
    file "$root/$icon" | grep -q "PNG image data, $size x $size," ||
      fail "$icon is not a $size x $size PNG"
  fi
done
check_file usr/share/icons/hicolor/scalable/apps/tavrin.svg || true

# The AppStream metadata, named for its id, pointing at the menu entry.
metainfo=$(cd "$root" && echo usr/share/metainfo/*.metainfo.xml)
if check_file "$metainfo"; then
  id=$(basename "$metainfo" .metainfo.xml)
  grep -q "<id>$id</id>" "$root/$metainfo" || fail "$metainfo does not carry the id $id"
  grep -q '<launchable type="desktop-id">tavrin.desktop</launchable>' "$root/$metainfo" ||
    fail "$metainfo does not launch tavrin.desktop"
fi

# The manual page, compressed, in section 1.
page=usr/share/man/man1/tavrin.1.gz
if check_file "$page"; then
  zcat "$root/$page" | head -1 | grep -q '^\.TH TAVRIN 1 ' ||
    fail "$page is not the manual page of tavrin(1)"
fi

# Debian's documents, the changelog's latest entry for this very version.
check_file usr/share/doc/tavrin/copyright || true
log=usr/share/doc/tavrin/changelog.gz
if check_file "$log"; then
  version=$(dpkg-deb -f "$deb" Version)
  zcat "$root/$log" | head -1 | grep -q "^tavrin ($version) " ||
    fail "the changelog's latest entry is not version $version"
fi

# The libraries come from dpkg-shlibdeps.
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the Qt libraries"

# The installed copy, started by a user who cannot write to usr/bin,
# writes its files into that user's ~/.local/share/Tavrin.
home=$work/home
mkdir -p "$home/runtime"
chmod 700 "$home/runtime"
run_as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$work"
  chown -R nobody "$home"
  run_as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  chmod a-w "$root/usr/bin"
fi
"${run_as_user[@]}" env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" \
  XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/tavrin" -start -hide >"$work/tavrin.out" 2>&1 &
tavrin_pid=$!
launched() { grep -qs 'Tavrin v[0-9.]* launched' "$home/.local/share/Tavrin/Log.txt"; }
for _ in $(seq 100); do
  launched && break
  sleep 0.1
done
launched || fail "the installed copy wrote no log in ~/.local/share/Tavrin"
kill -TERM "$tavrin_pid" 2>/dev/null || true
code=0
wait "$tavrin_pid" || code=$?
tavrin_pid=""
[ "$code" -eq 0 ] || { fail "the installed copy ended with $code"; cat "$work/tavrin.out"; }
[ ! -e "$root/usr/bin/Log.txt" ] || fail "the installed copy wrote beside its executable"

if [ $failures -gt 0 ]; then exit 1; fi
echo "The package installs every file where the desktop expects it."
