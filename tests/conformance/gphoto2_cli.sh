#!/usr/bin/env bash
# The stand-in body as libgphoto2's own client sees it: every check runs the gphoto2 command line (Debian's
# package, not ours) against the stand-in over PTP/IP and asserts on what the command line prints and saves.
# What the command line accepts is what any libgphoto2 program will send a body.
#
#   tests/conformance/gphoto2_cli.sh STANDIN_EXECUTABLE
#
# Prints one line per check and, for a failed one, the command line's output and the end of the body's log.
set -uo pipefail

standin="${1:?usage: $0 STANDIN_EXECUTABLE}"
command -v gphoto2 >/dev/null || { echo "gphoto2 is not installed (scripts/setup.sh installs it)" >&2; exit 1; }
command -v identify >/dev/null || { echo "identify (imagemagick) is not installed" >&2; exit 1; }

work="$(mktemp -d)"
body_pid=""
cleanup() {
  [ -n "$body_pid" ] && kill "$body_pid" 2>/dev/null && wait "$body_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" LANG=C LC_ALL=C # libgphoto2 keeps its settings under HOME
mkdir -p "$HOME"

failures=0
out="$work/out.txt"
pass() { echo "ok   $1"; }
fail() {
  echo "FAIL $1: $2"
  sed 's/^/     | /' "$out" | tail -25
  echo "     body log:"
  tail -15 "$work/body.log" | sed 's/^/     | /'
  failures=$((failures + 1))
}
now_ms() { date +%s%3N; }

# Starts a body with the given options; sets `port` and `G` (the gphoto2 command for it).
start_body() {
  [ -n "$body_pid" ] && kill "$body_pid" 2>/dev/null && wait "$body_pid" 2>/dev/null
  : >"$work/body.log"
  "$standin" --port 0 "$@" >"$work/body.log" 2>&1 &
  body_pid=$!
  port=""
  for _ in $(seq 100); do
    port="$(sed -n 's/^standin: port \([0-9]*\).*/\1/p' "$work/body.log" | head -1)"
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { echo "the stand-in did not start"; cat "$work/body.log"; exit 1; }
  G=(gphoto2 --port "ptpip:127.0.0.1:$port:$port" --camera "PTP/IP Camera")
  rm -rf "$HOME/.gphoto"
}

# Runs the command line in the download folder, its output in $out; returns its exit code.
cli() {
  (cd "$work/dl" && "${G[@]}" "$@") >"$out" 2>&1
}
current() { cli --get-config "$1" && sed -n 's/^Current: //p' "$out"; }
has() { grep -qF -- "$1" "$out"; }
# A file of the download folder decodes as an image; prints its size as WxH.
image_size() { identify -format '%wx%h' "$work/dl/$1" 2>/dev/null; }

mkdir -p "$work/dl"
start_body

# Identity and storage -----------------------------------------------------------------------------------------
if cli --summary && has "Model: Canon EOS Stand-in" && has "Serial Number: QT0215004711" &&
   has "store_00010001:" && has "Storage Type: Removable RAM (memory card)" && has "Free Space (Images):" &&
   has "Canon EOS Capture"; then
  pass "summary names the body, its card and EOS capture"
else
  fail "summary" "model, serial, card or capture kind missing"
fi

widgets=(/main/capturesettings/shutterspeed /main/capturesettings/aperture /main/imgsettings/iso
         /main/imgsettings/whitebalance /main/imgsettings/imageformat /main/settings/capturetarget
         /main/capturesettings/drivemode /main/capturesettings/focusmode /main/actions/eosremoterelease
         /main/actions/viewfinder /main/actions/bulb /main/status/availableshots)
missing=""
cli --list-config
for w in "${widgets[@]}"; do grep -qx -- "$w" "$out" || missing+=" $w"; done
if [ -z "$missing" ]; then pass "list-config offers the ${#widgets[@]} widgets a tethering program uses"
else fail "list-config" "missing:$missing"; fi

# Settings: each taken as offered, and a value not offered refused with the old one kept -----------------------
settings=("shutterspeed|1/250|1/3" "aperture|8|1.4" "iso|400|12800" "whitebalance|Daylight|Sodium vapour"
          "imageformat|RAW + Large Fine JPEG|Tiny JPEG")
for s in "${settings[@]}"; do
  IFS='|' read -r name good bad <<<"$s"
  if ! cli --set-config-value "$name=$good"; then fail "set $name=$good" "refused"; continue; fi
  got="$(current "$name")"
  [ "$got" = "$good" ] || { fail "set $name=$good" "reads back as '$got'"; continue; }
  if cli --set-config-value "$name=$bad"; then fail "set $name=$bad" "a value the body does not offer was taken"; continue; fi
  got="$(current "$name")"
  [ "$got" = "$good" ] || { fail "set $name=$bad" "the refused value left '$got'"; continue; }
  pass "$name takes '$good' and refuses '$bad'"
done
cli --set-config-value "imageformat=Large Fine JPEG"
cli --set-config-value "shutterspeed=1/125"

# Capture into the computer --------------------------------------------------------------------------------------
# The body says when the capture is complete (CameraStatusChanged back to 0): the command line does not wait out
# its three seconds for a second file.
cli --set-config capturetarget=0
t0=$(now_ms)
cli --capture-image-and-download --filename shot.jpg
rc=$?
took=$(( $(now_ms) - t0 ))
if [ $rc -eq 0 ] && [ -n "$(image_size shot.jpg)" ] && [ "$took" -lt 2000 ]; then
  pass "capture-image-and-download: a decodable JPEG in $took ms"
else
  fail "capture-image-and-download" "exit $rc, $took ms (a missing capture-complete costs 3 s)"
fi

if cli --trigger-capture --wait-event=1500ms && grep -q "Camera Status 1" "$out" &&
   grep -A100 "Camera Status 1" "$out" | grep -q "^FILEADDED" &&
   grep -A100 "^FILEADDED" "$out" | grep -q "CAPTURECOMPLETE"; then
  pass "trigger-capture: busy, the file, then capture complete"
else
  fail "trigger-capture + wait-event" "expected Camera Status 1, FILEADDED, CAPTURECOMPLETE in that order"
fi
start_body # the body lets go of the file left in its RAM

if cli --trigger-capture --wait-event-and-download=1f --filename triggered.jpg && [ -n "$(image_size triggered.jpg)" ]; then
  pass "trigger-capture + wait-event-and-download: the file arrives as an event"
else
  fail "trigger-capture + wait-event-and-download" "no decodable file"
fi

# The shutter time is honoured: a one-second exposure takes at least a second.
cli --set-config-value shutterspeed=1
t0=$(now_ms)
cli --capture-image-and-download --filename second.jpg
rc=$?
took=$(( $(now_ms) - t0 ))
if [ $rc -eq 0 ] && [ "$took" -ge 1000 ] && [ -n "$(image_size second.jpg)" ]; then
  pass "a 1 s exposure takes $took ms"
else
  fail "1 s exposure" "exit $rc after $took ms"
fi
cli --set-config-value shutterspeed=1/125

# Capture onto the card, then the card's files ------------------------------------------------------------------
cli --set-config capturetarget=1
if cli --capture-image && has "/store_00010001/DCIM/100CANON/IMG_"; then
  name="$(sed -n 's|.*/store_00010001/DCIM/100CANON/\(IMG_[0-9]*\.JPG\).*|\1|p' "$out" | head -1)"
  pass "capture-image onto the card: $name"
else
  fail "capture-image onto the card" "no file on the card"
  name="none"
fi
if cli --list-files && grep -qE "^#1 +$name " "$out"; then pass "list-files shows $name in DCIM/100CANON"
else fail "list-files" "$name not listed"; fi
if cli --folder /store_00010001/DCIM/100CANON --get-file 1 && [ -n "$(image_size "$name")" ]; then
  pass "get-file fetches $name whole"
else
  fail "get-file" "no decodable $name"
fi
if cli --folder /store_00010001/DCIM/100CANON --delete-file 1 && cli --list-files && ! has "$name"; then
  pass "delete-file removes $name from the card"
else
  fail "delete-file" "$name is still listed"
fi
cli --set-config capturetarget=0

# Bulb through the remote release: open for a second, then the file --------------------------------------------
cli --set-config-value shutterspeed=bulb --set-config-value "eosremoterelease=Press Full" --wait-event=1s \
    --set-config-value "eosremoterelease=Release Full" --wait-event-and-download=1f --filename bulb.jpg
rc=$?
held="$(sed -n 's/.*bulb closed (remote release) after \([0-9]*\) ms.*/\1/p' "$work/body.log" | tail -1)"
if [ $rc -eq 0 ] && [ -n "$(image_size bulb.jpg)" ] && [ "${held:-0}" -ge 900 ]; then
  pass "bulb through eosremoterelease: open $held ms, the file downloaded"
else
  fail "bulb through eosremoterelease" "exit $rc, open ${held:-?} ms"
fi
cli --set-config-value shutterspeed=1/125

# Live view: frames at the body's pace ----------------------------------------------------------------------------
if cli --capture-preview && [ "$(image_size capture_preview.jpg)" = "640x424" ]; then
  pass "capture-preview: one 640x424 frame"
else
  fail "capture-preview" "no 640x424 frame"
fi
# The live-view magnifier: its frame placed in the body's coordinates (the picture's size, as "focusinfo" gives it),
# then 5x; the frame shows the fifth of the picture around it (red grows left to right, green top to bottom).
pixel() { convert "$work/dl/$1" -format "%[pixel:p{$2}]" info: 2>/dev/null; }
if cli --get-config focusinfo && has "size=6000x4000" &&
   cli --set-config viewfinder=1 --set-config eoszoomposition=1200,2000 --set-config eoszoom=5 \
       --capture-preview --filename zoomed.jpg &&
   grep -q "magnifier frame at 1200,2000" "$work/body.log" && grep -q "live view at 5x" "$work/body.log"; then
  left="$(pixel thumb_zoomed.jpg 2,212)" right="$(pixel thumb_zoomed.jpg 637,212)"
  # (The command line saves a preview as thumb_<name>.) At 1x the red runs from 0 to 255; here from a fifth of
  # the way to two fifths.
  if [[ "$left" =~ ^srgb\((4[4-9]|5[0-9]), ]] && [[ "$right" =~ ^srgb\((9[4-9]|10[0-9]), ]]; then
    pass "eoszoomposition=1200,2000 and eoszoom=5: the frame shows that part of the picture"
  else
    fail "eoszoom" "the zoomed frame runs from $left to $right"
  fi
else
  fail "eoszoom / eoszoomposition" "not offered, refused, or not received by the body"
fi
# A body without the magnifier: the whole tree leaves the widgets out (asked for one by one, libgphoto2 2.5.30 still
# hands them out, and a write then fails).
start_body --no-zoom
if cli --list-config && ! has "/main/actions/eoszoom" && has "/main/actions/viewfinder"; then
  pass "a body without Zoom and ZoomPosition: list-config offers no eoszoom"
else
  fail "list-config without the magnifier" "eoszoom listed, or the list is missing"
fi
movie_frames() {
  cli --capture-movie="$1" --filename movie.mjpg
  sed -n 's/^Movie capture finished (\([0-9]*\) frames)/\1/p' "$out"
}
for pace in 25:3 10:2; do
  fps="${pace%%:*}" seconds="${pace##*:}"
  start_body --live-fps "$fps"
  frames="$(movie_frames "${seconds}s")"
  most=$((fps * seconds + 1)) least=$((fps * seconds / 2))
  if [ -n "$frames" ] && [ "$frames" -le "$most" ] && [ "$frames" -ge "$least" ]; then
    pass "capture-movie=${seconds}s at $fps fps: $frames frames (at most $most)"
  else
    fail "capture-movie=${seconds}s at $fps fps" "${frames:-no} frames, expected $least..$most"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "every check passed"
