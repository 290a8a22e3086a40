#!/usr/bin/env bash
# The console installed the way a distribution installs it (a prefix owned by root, 0755) and run by an ordinary
# user under a real X server: two shots, a grab and a series, clicked with the pointer. The program's folder
# cannot take photos, so they land in the user's pictures folder: the console's names hold the newest, every
# photo is kept under a name of its own, nothing is written into the prefix, and the user is told once.
# Usage: check_installed_copy.sh <build dir> <screenshot png>
set -euo pipefail
build="$1"
shot="$2"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
mkdir -p "$(dirname "$shot")"

work="$(mktemp -d /tmp/quortovu-installed-XXXXXX)"
chmod 0755 "$work"
source "$root/scripts/xvfb.sh"
app=""
trap 'quor_end_app_and_xvfb; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/stderr" ] && sed 's/^/  console: /' "$work/stderr" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
home="$work/home"
mkdir -p "$home"
if [ "$(id -u)" -eq 0 ]; then
  # Root installs, "nobody" runs it.
  chown -R root:root "$prefix"
  chmod -R u=rwX,go=rX "$prefix"
  chown 65534:65534 "$home"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
else
  # Without root: the program's folder is made read-only for its owner too.
  chmod -R a-w "$prefix"
  as_user=()
fi
touch "$work/installed"

quor_start_xvfb || exit 1
# In English: what the user is told is checked below in the English wording.
env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 LANGUAGE=en DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
  QUORCTRL_SIMULATED_CAMERAS=1 "${as_user[@]}" "$prefix/bin/quortovu" 2>"$work/stderr" &
app=$!
quor_await_window "$app" || fail "the console window never showed"

pictures="$home/Pictures/QuorTovu"
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep "${3:-0.5}"; }
# Waits up to 20 s for `test` (a shell expression) to hold.
await() {
  for _ in $(seq 1 200); do
    eval "$1" && return 0
    sleep 0.1
  done
  fail "waited in vain for: $2"
}
kept() { ls "$pictures" 2>/dev/null | grep -c -E "^$1_[0-9]{8}-[0-9]{6}_[0-9]{4}\.jpg$" || true; }

# Client pixels of the controls (dialog units times 1.5): Open camera, Take photo, Start video, Grab video
# frame, the drive-mode list and Continuous shooting.
click 746 40 1.0
click 605 64
await '[ "$(kept quortovu)" -ge 1 ]' "the first photo"
import -window root "$shot"
click 605 64
await '[ "$(kept quortovu)" -ge 2 ]' "the second photo"
click 48 40 1.5
click 420 66
await '[ "$(kept quortovu_grab)" -ge 1 ]' "the grabbed frame"
singles=$(kept quortovu)
last_single=$(ls "$pictures" | grep -E '^quortovu_[0-9]{8}-[0-9]{6}_[0-9]{4}\.jpg$' | sort | tail -n 1)
# The wheel over the drive-mode list walks down it: two notches from "Single Shooting" (shown as the list's
# text, or selected) reach a continuous mode either way.
xdotool mousemove --window "$win" 707 313 click 5
sleep 0.5
xdotool click 5
sleep 1
click 746 64 2.5
click 746 64 1.5
await '[ "$(kept quortovu)" -ge $((singles + 2)) ]' "the series"
# The console closes on the key press, often before xdotool sends the release to its window, which xdotool
# then reports as an X error: whether the key worked is judged by the console ending, below.
xdotool key --window "$win" Escape 2>/dev/null || true
for _ in $(seq 1 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the console did not end with Escape"
wait "$app" || fail "the console ended with an error"
app=""

# What landed where.
[ -z "$(find "$prefix" -newer "$work/installed" -type f)" ] || fail "files were written into the prefix"
[ -z "$(ls -A "$pictures" | grep '^\.')" ] || fail "temporary files left in $pictures"
for name in quortovu.jpg quortovu_grab.jpg; do
  identify "$pictures/$name" >/dev/null 2>&1 || fail "$name is not a decodable photo"
done
for name in $(ls "$pictures" | grep -E '_[0-9]{4}\.jpg$'); do
  identify "$pictures/$name" >/dev/null 2>&1 || fail "$name is not a decodable photo"
done
# The console's name for single shots holds the second one (series frames have names of their own only).
[ "$(stat -c %i "$pictures/$last_single")" = "$(stat -c %i "$pictures/quortovu.jpg")" ] ||
  fail "quortovu.jpg is not the newest shot ($last_single)"
if [ "$(id -u)" -eq 0 ]; then
  [ "$(stat -c %u "$pictures/quortovu.jpg")" = 65534 ] || fail "the photos do not belong to the user"
fi
told=$(grep -c "Photos are saved in $pictures" "$work/stderr" || true)
[ "$told" = 1 ] || fail "the user was told $told times where the photos go"
grep -q "recentFolders" "$home/.config/QuorTovu/QuorCtrl.conf" || fail "the settings were not remembered"
series=$(( $(kept quortovu) - singles ))
echo "installed copy: 2 shots, 1 grab and a series of $series frames in $pictures; 1 passed, 0 failed"
