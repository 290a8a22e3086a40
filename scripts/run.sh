#!/usr/bin/env bash
# Installs what is missing, builds, and opens the console on the simulated camera.
# Where no display exists, run it under a virtual X server: xvfb-run -a bash scripts/run.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" --target quortovu
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display; start it as: xvfb-run -a bash scripts/run.sh" >&2
  exit 1
fi
exec "${QUOR_BUILD_DIR:-$root/build}/app/quortovu"
