#!/usr/bin/env bash
# The console under a real X server (Xvfb): it shows, at its fixed size, with the hosted view where it belongs.
# Usage: check_screenshot.sh <quortovu executable> <output png>
set -euo pipefail
exe="$1"
out="$2"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
geometry="$(mktemp)"
trap 'rm -f "$geometry"' EXIT

QUOR_EXE="$exe" QUOR_GEOMETRY_FILE="$geometry" bash "$root/scripts/screenshot.sh" "$out" 1
read -r width height x y < "$geometry"

fail=0
if [ "$width" != 794 ] || [ "$height" != 531 ]; then
  echo "FAIL: window is ${width}x${height}, expected 794x531" >&2
  fail=1
fi
# Inside the hosted view (client 22,100 .. 522,430), near its bottom-right corner, away from the debug overlay
# and the placeholder text.
px=$(convert "$out" -format "%[pixel:p{$((x + 510)),$((y + 420))}]" info:)
case "$px" in
  *"240,240,240"*|*"F0F0F0"*|*"f0f0f0"*) ;;
  *) echo "FAIL: hosted view background is $px, expected 240,240,240" >&2; fail=1 ;;
esac
# The screen is not blank: the console painted many colours.
colours=$(convert "$out" -format "%k" info:)
if [ "$colours" -lt 8 ]; then
  echo "FAIL: screenshot has only $colours colours" >&2
  fail=1
fi
if [ "$fail" -eq 0 ]; then
  echo "screenshot check: 1 passed, 0 failed"
fi
exit "$fail"
