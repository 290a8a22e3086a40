#!/usr/bin/env bash
# Live view with crop, crop frame, rotation and onion skin on, on a real X server (Xvfb).
# Usage: check_options_screenshot.sh <options_demo executable> <output png>
set -euo pipefail
exe="$1"
out="$2"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
mkdir -p "$(dirname "$out")"
source "$root/scripts/xvfb.sh"
trap 'quor_stop_xvfb; wait 2>/dev/null || true' EXIT
quor_start_xvfb
QT_QPA_PLATFORM=xcb QUORCTRL_SIMULATED_CAMERAS=1 "$exe" "$out"
