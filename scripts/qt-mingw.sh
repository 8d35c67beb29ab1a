#!/usr/bin/env bash
# Qt for 64-bit Windows, built here from Debian's own qt6-base source with
# MinGW-w64 (the posix thread model compilers), for the Windows program
# (scripts/check-windows.sh). Only what Tavrin uses: Core, Gui, Widgets,
# Network, the windows platform plugin, the Vista style and the schannel TLS
# backend, with Qt's bundled third-party libraries.
#
# The result goes into a cache directory outside the checkout, named after
# the Qt version and the compiler:
#   ${XDG_CACHE_HOME:-~/.cache}/tavrin/qt6-base-<version>-<compiler>/
# A complete one (its marker written after a successful install, with the
# same configure options) is used as it is. The script prints that
# directory on its standard output, and everything else on standard error.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

log() { echo "qt-mingw: $*" >&2; }

# Host Qt's tools (moc, rcc, uic) build the target Qt and later the program,
# so the source is the host Qt's own version. dpkg-source unpacks it; Qt
# 6.4's header generator is a Perl script.
bash scripts/deps.sh cmake ninja-build perl dpkg-dev xz-utils debian-archive-keyring \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools >&2

target=x86_64-w64-mingw32
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
upstream=${host_version%%+*}
upstream=${upstream%%-*}
compiler="$target-gcc-$($target-g++-posix -dumpversion)"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tavrin
name=qt6-base-$upstream-$compiler
prefix=$cache/$name
work=$cache/$name.build
mkdir -p "$cache"

# Everything that decides what gets built. A complete directory built with
# other options is built again.
options=(
  -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF
  # OpenGL off as "configure -no-opengl" does: the feature alone would
  # leave Windows' dynamic OpenGL on, which does not build without it.
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF -DFEATURE_dynamicgl=OFF
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_testlib=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_openssl=OFF -DFEATURE_schannel=ON
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_freetype=OFF -DFEATURE_harfbuzz=OFF -DFEATURE_tuiotouch=OFF
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF
  # Without Direct2D, Qt 6.4 leaves out the DirectWrite 3 font database
  # that the platform plugin still refers to: both off (GDI's fonts remain,
  # Windows' default).
  -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF
  -DFEATURE_zstd=OFF -DFEATURE_pdf=OFF -DFEATURE_textmarkdownreader=OFF
  -DFEATURE_textmarkdownwriter=OFF -DFEATURE_textodfwriter=OFF
  # Debian's source has no Wintab header (its licence forbids changes, so
  # Debian leaves it out); Tavrin has no use for drawing tablets.
  -DFEATURE_tabletevent=OFF
)
stamp="$host_version $compiler ${options[*]}"
marker=$prefix/.complete

# One build at a time per cache directory; a second caller waits and then
# finds it complete.
exec 9>"$cache/$name.lock"
flock 9

if [ -f "$marker" ] && [ "$(cat "$marker")" = "$stamp" ]; then
  echo "$prefix"
  exit 0
fi
log "building Qt $upstream for Windows into $prefix"
rm -rf "$prefix"
mkdir -p "$work"

# Debian's source package through a private apt configuration: the
# machine's own sources stay untouched.
if [ ! -f "$work/src/CMakeLists.txt" ]; then
  . /etc/os-release
  apt=$work/apt
  rm -rf "$apt" "$work/src"
  mkdir -p "$apt/etc" "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/download"
  keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  cat >"$apt/etc/sources.list" <<EOF
deb-src [signed-by=$keyring] http://deb.debian.org/debian $VERSION_CODENAME main
deb-src [signed-by=$keyring] http://deb.debian.org/debian $VERSION_CODENAME-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security $VERSION_CODENAME-security main
EOF
  apt_options=(-o "Dir::Etc::SourceList=$apt/etc/sources.list" -o Dir::Etc::SourceParts=/dev/null
               -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache")
  apt-get "${apt_options[@]}" update >&2
  # The host's exact version where the archive still has it, otherwise the
  # release's newest of the same upstream version.
  cd "$apt/download"
  if ! apt-get "${apt_options[@]}" source --download-only "qt6-base=$host_version" >&2; then
    log "qt6-base $host_version is no longer in the archive; taking the release's newest"
    apt-get "${apt_options[@]}" source --download-only qt6-base >&2
  fi
  dsc=$(ls ./qt6-base_*.dsc)
  got=${dsc#./qt6-base_}
  got=${got%%+*}
  if [ "$got" != "$upstream" ]; then
    log "the archive's qt6-base is $got, the host's Qt is $upstream: their tools would not match"
    exit 1
  fi
  dpkg-source -x "$dsc" "$work/src" >&2
  cd "$root"
fi

started=$(date +%s)
build=$work/build
# A build left by an interrupted run goes on where it stopped, unless it was
# configured otherwise.
if [ "$(cat "$work/stamp" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$build"
  echo "$stamp" >"$work/stamp"
fi
if [ ! -f "$build/build.ninja" ]; then
  nice -n 19 cmake -S "$work/src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16 \
    -DCMAKE_PROJECT_INCLUDE="$root/cmake/qt-mingw-unity.cmake" \
    "${options[@]}" >"$work/configure.log" 2>&1 || {
      tail -40 "$work/configure.log" >&2
      rm -f "$build/build.ninja"
      exit 1
    }
fi
configured=$(date +%s)
# The build yields to everything else on the machine.
nice -n 19 ninja -C "$build" >&2
built=$(date +%s)
cmake --install "$build" --strip >"$work/install.log"
for f in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Network.dll \
         plugins/platforms/qwindows.dll plugins/tls/qschannelbackend.dll \
         plugins/styles/qwindowsvistastyle.dll; do
  [ -f "$prefix/$f" ] || { log "the install lacks $f"; exit 1; }
done
installed=$(date +%s)
log "configure $((configured - started)) s, build $((built - configured)) s," \
    "install $((installed - built)) s"
echo "$stamp" >"$marker"
rm -rf "$work"
echo "$prefix"
