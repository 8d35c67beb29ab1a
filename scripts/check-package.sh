#!/usr/bin/env bash
# The Debian package, built as Debian builds its packages and checked with
# the distribution's own tools:
#   1. build-deb/ is configured once with the flags of dpkg-buildflags (all
#      hardening on), without tests, benchmarks or the update check (an
#      installed copy is updated through the package manager), and with
#      warnings as errors: the only build here at -O2 with _FORTIFY_SOURCE,
#      whose warnings (unused results of checked C library calls, what the
#      optimiser's analysis finds) no other build shows. A distribution's
#      own build of the sources leaves TAVRIN_WERROR off, so that a newer
#      compiler's new warnings do not stop it;
#   2. cpack makes build-deb/tavrin_<version>_<arch>.deb;
#   3. lintian checks it; any error or warning fails;
#   4. desktop-file-validate and appstreamcli check the desktop entry and
#      the AppStream metadata as the package installs them.
# Later runs reuse build-deb/ and rebuild only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/configure.sh
build=build-deb

bash scripts/deps.sh
bash scripts/deps.sh lintian desktop-file-utils appstream dpkg-dev file man-db

(
  eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
  # CMake reads CXXFLAGS and LDFLAGS; the preprocessor's flags go along.
  export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
  configure_once "$build" -DCMAKE_BUILD_TYPE=None \
                 -DTAVRIN_TESTS=OFF -DTAVRIN_BENCHMARKS=OFF -DTAVRIN_UPDATE_CHECK=OFF >/dev/null
)
ninja -C "$build"

rm -f "$build"/tavrin_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(echo "$build"/tavrin_*.deb)
echo "Package: $deb"

status=0
echo "lintian:"
lintian --fail-on error,warning --display-info "$deb" || status=1

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
echo "desktop-file-validate:"
desktop-file-validate "$root"/usr/share/applications/*.desktop || status=1
echo "appstreamcli validate:"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || status=1

if [ $status -eq 0 ]; then echo "The package passed lintian and the validators."; fi
exit $status
