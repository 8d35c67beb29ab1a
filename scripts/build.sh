#!/usr/bin/env bash
# Configures (once) and builds the project in build/. Extra arguments are
# Ninja targets; without any, everything is built.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
ninja -C build "$@"
