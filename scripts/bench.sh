#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks (release build in build-bench/), runs every one of them and
# prints one table: each figure next to its peer or limit measured in the same run, as a ratio.
#   bash scripts/bench.sh            # table on stdout; raw results in build-bench/bench-results/
# Extra arguments go to every benchmark executable (e.g. --benchmark_repetitions=3).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"

build="${QUOR_BUILD_DIR:-$root/build-bench}"
QUOR_BUILD_DIR="$build" QUOR_BUILD_TYPE=Release QUOR_CMAKE_ARGS="-DQUOR_BUILD_BENCH=ON -DQUOR_BUILD_TESTS=OFF" \
  bash "$root/scripts/build.sh" >&2

results="$build/bench-results"
rm -rf "$results"
mkdir -p "$results"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export QUOR_BENCH_SECONDS="${QUOR_BENCH_SECONDS:-20}" # length of each live-view run

# The machine the figures belong to.
{
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cpu: $(lscpu 2>/dev/null | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1), $(nproc) cores"
  echo "memory: $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
  echo "system: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r)"
  echo "compiler: $(c++ --version | head -n 1)"
  echo "libraries: Qt $(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null)," \
       "libgphoto2 $(dpkg-query -W -f='${Version}' libgphoto2-dev 2>/dev/null)," \
       "libjpeg-turbo $(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev 2>/dev/null)"
  echo "load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
} > "$results/machine.txt"

for exe in "$build"/bench/bench_*; do
  [ -f "$exe" ] && [ -x "$exe" ] || continue
  name="$(basename "$exe")"
  echo "bench: running $name" >&2
  "$exe" --benchmark_out="$results/$name.json" --benchmark_out_format=json "$@" >/dev/null 2>"$results/$name.log" ||
    { echo "bench: $name failed (see $results/$name.log)" >&2; tail -n 20 "$results/$name.log" >&2; exit 1; }
done

python3 "$root/scripts/bench_report.py" "$results"
