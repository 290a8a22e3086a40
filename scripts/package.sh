#!/usr/bin/env bash
# Builds the Debian packages into out/package/ (or the folder given): quortovu (the console), quortovu-tools
# (the stand-in camera body) and their -dbgsym packages with the debug symbols. Installs what is missing first,
# builds a release tree of its own without tests or benchmarks (build-package/, or $QUOR_BUILD_DIR).
#   bash scripts/package.sh [out dir]
#   sudo apt-get install ./out/package/quortovu_*_amd64.deb
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root/out/package}"
build="${QUOR_BUILD_DIR:-$root/build-package}"
bash "$root/scripts/setup.sh"
QUOR_BUILD_DIR="$build" QUOR_CMAKE_ARGS="-DQUOR_BUILD_TESTS=OFF -DQUOR_BUILD_BENCH=OFF ${QUOR_CMAKE_ARGS:-}" \
  bash "$root/scripts/build.sh"
rm -rf "$out/_CPack_Packages"
cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
rm -rf "$out/_CPack_Packages"
for f in "$out"/*.deb "$out"/*.ddeb; do
  printf '%-48s %9d bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"
done
