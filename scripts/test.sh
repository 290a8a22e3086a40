#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test under CTest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
ctest --test-dir "${QUOR_BUILD_DIR:-$root/build}" --output-on-failure -j"$(nproc)" "$@"
