#!/usr/bin/env bash
# Live view with crop, crop frame, rotation and onion skin on, on a real X server (Xvfb).
# Usage: check_options_screenshot.sh <options_demo executable> <output png>
set -euo pipefail
exe="$1"
out="$2"
mkdir -p "$(dirname "$out")"
dfile="$(mktemp)"
Xvfb -displayfd 1 -screen 0 1024x700x24 -nolisten tcp >"$dfile" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait 2>/dev/null || true; rm -f "$dfile"' EXIT
for _ in $(seq 1 600); do
  [ -s "$dfile" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
[ -s "$dfile" ] || { echo "FAIL: Xvfb did not come up within 30 s" >&2; exit 1; }
DISPLAY=":$(head -n 1 "$dfile" | tr -d '[:space:]')" QT_QPA_PLATFORM=xcb QUORCTRL_SIMULATED_CAMERAS=1 "$exe" "$out"
