#!/usr/bin/env bash
# Configures (once) and builds the project in build/, warnings as errors.
# Extra arguments are Ninja targets; without any, everything is built.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/configure.sh

configure_once build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ninja -C build "$@"
