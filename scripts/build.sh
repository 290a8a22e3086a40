#!/usr/bin/env bash
# Configures and builds into build/ (or $QUOR_BUILD_DIR). Extra arguments go to the build step (e.g. --target X).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUOR_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${QUOR_BUILD_TYPE:-RelWithDebInfo}" ${QUOR_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)" "$@"
