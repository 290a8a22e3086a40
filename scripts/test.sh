#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under CTest (the virtual-camera test runs on a private
# libgphoto2 that tests/vcamera/build_vcamera_libgphoto2.sh builds first):
#   1. the whole suite (build/),
#   2. the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/),
#   3. the threaded tests (live view, capture, frame pool, real-camera worker, stand-in, virtual camera) under
#      ThreadSanitizer (build-tsan/),
#   4. every libFuzzer target for a bounded time on its corpus (build-fuzz/, clang).
# QUOR_QUICK=1 runs stage 1 only. Extra arguments go to every ctest call (e.g. -R Console).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
# libgphoto2 with its virtual USB camera, for the tests only (build-vcamera/; once, then cached).
bash "$root/tests/vcamera/build_vcamera_libgphoto2.sh"

jobs="$(nproc)"
stage() { echo; echo "=== $* ==="; }

stage "tests"
QUOR_BUILD_DIR="$root/build" bash "$root/scripts/build.sh"
ctest --test-dir "$root/build" --output-on-failure -j"$jobs" "$@"

if [ "${QUOR_QUICK:-0}" = 1 ]; then
  exit 0
fi

supp="$root/tests/sanitizers"
stage "tests under ASan+UBSan"
QUOR_BUILD_DIR="$root/build-asan" QUOR_BUILD_TYPE=Debug \
  QUOR_CMAKE_ARGS="-DQUOR_SANITIZE=address -DQUOR_BUILD_BENCH=OFF" bash "$root/scripts/build.sh"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir "$root/build-asan" --output-on-failure -j"$jobs" -E 'console_screenshot|installed_package' "$@"

stage "threaded tests under TSan"
QUOR_BUILD_DIR="$root/build-tsan" QUOR_BUILD_TYPE=Debug \
  QUOR_CMAKE_ARGS="-DQUOR_SANITIZE=thread -DQUOR_BUILD_BENCH=OFF" bash "$root/scripts/build.sh"
TSAN_OPTIONS="suppressions=$supp/tsan.supp:halt_on_error=1:second_deadlock_stack=1" \
  ctest --test-dir "$root/build-tsan" --output-on-failure -j"$jobs" \
  -R 'LiveView|Capture|FramePool|Worker|Standin|Gphoto|GPhoto|Thread|Soak|Contract|VirtualCamera' "$@"

stage "fuzzing"
CC=clang CXX=clang++ QUOR_BUILD_DIR="$root/build-fuzz" QUOR_CMAKE_ARGS="-DQUOR_FUZZ=ON" \
  bash "$root/scripts/build.sh"
ctest --test-dir "$root/build-fuzz" --output-on-failure "$@"
