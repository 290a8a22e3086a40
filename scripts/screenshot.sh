#!/usr/bin/env bash
# Runs the console under a private Xvfb server and writes a screenshot of the whole screen to a PNG.
#   bash scripts/screenshot.sh [out.png] [seconds to wait after the window shows]
# QUOR_CLICKS="x,y x,y ..." clicks those points (client pixels of the console) in order, 0.7 s apart, before
# the wait; e.g. QUOR_CLICKS="746,41 48,41" opens the camera and starts live view.
# QUOR_EXE names the executable (default build/app/quortovu). The console's own environment applies
# (e.g. QUORCTRL_SIMULATED_CAMERAS=2).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root/out/console.png}"
settle="${2:-1}"
exe="${QUOR_EXE:-${QUOR_BUILD_DIR:-$root/build}/app/quortovu}"
mkdir -p "$(dirname "$out")"

source "$root/scripts/xvfb.sh"
app=""
trap quor_end_app_and_xvfb EXIT
quor_start_xvfb || exit 1

start=$(date +%s%N)
"$exe" &
app=$!
if ! quor_await_window "$app"; then
  kill -0 "$app" 2>/dev/null || { echo "screenshot: the console exited early" >&2; exit 1; }
  echo "screenshot: the console window never showed" >&2
  exit 1
fi
shown=$(date +%s%N)
echo "screenshot: window shown $(( (shown - start) / 1000000 )) ms after start" >&2
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "screenshot: window ${WIDTH}x${HEIGHT} at ${X},${Y}" >&2
if [ -n "${QUOR_GEOMETRY_FILE:-}" ]; then
  echo "${WIDTH} ${HEIGHT} ${X} ${Y}" > "$QUOR_GEOMETRY_FILE"
fi
for point in ${QUOR_CLICKS:-}; do
  xdotool mousemove --window "$win" "${point%,*}" "${point#*,}" click 1
  sleep 0.7
done
sleep "$settle"
import -window root "$out"
echo "$out"
