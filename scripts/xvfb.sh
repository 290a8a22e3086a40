# Sourced, not run: starts a private Xvfb server and exports DISPLAY for it.
#   source scripts/xvfb.sh; quor_start_xvfb   # sets $quor_xvfb_pid; quor_stop_xvfb ends it
# Xvfb picks a free display itself and writes its number once it accepts connections (no race with other
# servers started at the same moment).
quor_start_xvfb() {
  quor_xvfb_file="$(mktemp)"
  Xvfb -displayfd 1 -screen 0 1024x700x24 -nolisten tcp >"$quor_xvfb_file" 2>/dev/null &
  quor_xvfb_pid=$!
  for _ in $(seq 1 600); do
    [ -s "$quor_xvfb_file" ] && break
    kill -0 "$quor_xvfb_pid" 2>/dev/null || { echo "xvfb: Xvfb did not start" >&2; return 1; }
    sleep 0.05
  done
  [ -s "$quor_xvfb_file" ] || { echo "xvfb: Xvfb did not come up within 30 s" >&2; return 1; }
  export DISPLAY=":$(head -n 1 "$quor_xvfb_file" | tr -d '[:space:]')"
}

# Waits up to 10 s for the console started as process $1 to show its window; sets $win (empty if it never
# showed, or the process ended first).
quor_await_window() {
  win=""
  for _ in $(seq 1 200); do
    win=$(xdotool search --onlyvisible --name 'QuorTovu' 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# Ends the console started as process $app (if any) and the Xvfb server, and waits for both: an EXIT trap.
quor_end_app_and_xvfb() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  quor_stop_xvfb
  wait 2>/dev/null || true
}

quor_stop_xvfb() {
  [ -n "${quor_xvfb_pid:-}" ] && kill "$quor_xvfb_pid" 2>/dev/null
  rm -f "${quor_xvfb_file:-}"
  return 0
}
