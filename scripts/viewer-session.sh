# Shell functions for running the real viewer in a private Xvfb screen, sourced by the
# end-to-end test and the CPU measurement. The caller sets `work` (a scratch directory) and
# calls session_cleanup on exit.
#   start_xvfb             a 640 x 480 screen on a display number nobody uses; exports DISPLAY
#   start_viewer DIR       runs DIR/karst-viewer; sets viewer_pid and viewer_window
#   stop_viewer            asks the viewer to stop, then kills it
#   session_cleanup        stops the viewer and the screen

xvfb_pid=
viewer_pid=
viewer_window=

start_xvfb() {
  local display_number=99
  while [ -e "/tmp/.X$display_number-lock" ] || [ -e "/tmp/.X11-unix/X$display_number" ]; do
    display_number=$((display_number + 1))
  done
  export DISPLAY=:$display_number
  Xvfb "$DISPLAY" -screen 0 640x480x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

start_viewer() {
  # In a sanitizer build, leak checking is off for the viewer here: the X11, D-Bus and GL driver
  # libraries behind SDL keep allocations until exit and are unloaded before the report, so they
  # cannot be suppressed by name. The in-process tests check our own code for leaks.
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER "$1/karst-viewer" >"$work/viewer.out" 2>"$work/viewer.err" &
  viewer_pid=$!
  viewer_window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Karst Map Viewer$" | head -n 1) || {
    echo "the viewer's window was not mapped" >&2
    return 1
  }
  # A motion event inside the screen first, so the viewer does not take the pointer to rest at
  # (0, 0) (two moves: a move to where the pointer already is makes no event); then the keyboard
  # focus, which makes the viewer active.
  xdotool mousemove 300 200
  xdotool mousemove 320 240
  xdotool windowfocus --sync "$viewer_window"
}

# A viewer left running after a failure is stopped before its screen goes away: asked first,
# then killed.
stop_viewer() {
  kill "$viewer_pid" 2>/dev/null || return 0
  for _ in $(seq 20); do
    kill -0 "$viewer_pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -9 "$viewer_pid" 2>/dev/null || true
}

# The CPU time the viewer has used so far, in clock ticks (user + system).
viewer_ticks() { awk '{ print $14 + $15 }' "/proc/$viewer_pid/stat"; }

session_cleanup() {
  if [ -n "$viewer_pid" ]; then stop_viewer; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
