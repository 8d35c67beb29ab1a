#!/usr/bin/env bash
# Builds Tavrin and runs every test: the profile reader under
# AddressSanitizer and the threaded tests under ThreadSanitizer, each in a
# build directory of its own, the Debian package's checks (build-deb/), then
# the whole suite in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/configure.sh

bash scripts/deps.sh
bash scripts/build.sh

status=0

# Sanitizer builds: only the targets that need them, warnings as errors too.
configure_once build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_SANITIZE=ON \
               -DTAVRIN_BENCHMARKS=OFF >/dev/null
configure_once build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_TSAN=ON \
               -DTAVRIN_BENCHMARKS=OFF >/dev/null
# Readers of untrusted bytes under AddressSanitizer: profiles, the tree and
# settings files, EDID blocks. Threaded code under ThreadSanitizer.
asan_tests=(tst_icc_profile tst_tree_file tst_settings_file tst_x11_identity)
tsan_tests=(tst_tree_sharing tst_log tst_loop_control tst_loop_threads tst_loop_wake)

ninja -C build-asan "${asan_tests[@]}"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -R "^($(IFS='|'; echo "${asan_tests[*]}"))\$") || status=1
ninja -C build-tsan "${tsan_tests[@]}"
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$") || status=1

# The Debian package as Debian builds it, through lintian and the desktop's
# validators.
bash scripts/check-package.sh || status=1

# The whole suite last, so that its summary is the run's closing line.
(cd build && ctest --output-on-failure --timeout 300) || status=1
exit $status
