# Shell functions for running the real viewer in a private Xvfb screen, sourced by the
# end-to-end tests and the CPU measurement. The caller sets `work` (a scratch directory) before
# sourcing; on exit the session stops and `work` is removed, unless KEEP_E2E=1 or a step failed.
#   start_xvfb [WxH]       a screen of W x H (default 640x480) on a display number nobody uses;
#                          exports DISPLAY, sets screen_width and screen_height
#   start_window_manager   a small window manager on that screen (matchbox)
#   start_viewer DIR [ARG...]  runs DIR/karst-viewer with the arguments given; sets viewer_pid
#                          and viewer_window
#   stop_viewer            asks the viewer to stop, then kills it
#   stop_xvfb              stops the viewer, the window manager and the screen
#   fail TEXT...           says what failed and exits 1, keeping `work` to look at
#   step TEXT...           announces the next step

xvfb_pid=
wm_pid=
viewer_pid=
viewer_window=
screen_width=
screen_height=

start_xvfb() {
  local size=${1:-640x480}
  screen_width=${size%x*}
  screen_height=${size#*x}
  local display_number=99
  while [ -e "/tmp/.X$display_number-lock" ] || [ -e "/tmp/.X11-unix/X$display_number" ]; do
    display_number=$((display_number + 1))
  done
  export DISPLAY=:$display_number
  # -noreset: by default the server resets whenever its last client goes, and SDL opens and
  # closes a connection while it probes its drivers; a viewer connecting during that reset
  # loses its connection at once.
  Xvfb "$DISPLAY" -screen 0 "${size}x24" -nolisten tcp -noreset >"$work/xvfb-$size.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

# Ready once it has announced itself on the root window, as window managers do.
start_window_manager() {
  matchbox-window-manager -use_titlebar no >"$work/wm.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
    sleep 0.1
  done
  echo "the window manager did not start on $DISPLAY" >&2
  return 1
}

start_viewer() {
  # In a sanitizer build, leak checking is off for the viewer here: the X11, D-Bus and GL driver
  # libraries behind SDL keep allocations until exit and are unloaded before the report, so they
  # cannot be suppressed by name. The in-process tests check our own code for leaks.
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER "$1/karst-viewer" "${@:2}" >"$work/viewer.out" 2>"$work/viewer.err" &
  viewer_pid=$!
  # SDL makes its window again when it changes renderer during start-up, so the window counts
  # as found once the same one is seen three times in a row, 0.2 s apart (a search also fails
  # outright when a window goes while it looks).
  viewer_window=
  local seen=0 candidate
  for _ in $(seq 100); do
    candidate=$(xdotool search --onlyvisible --name "^Karst Map Viewer$" 2>/dev/null | tail -n 1) || true
    if [ -n "$candidate" ] && [ "$candidate" = "$viewer_window" ]; then
      seen=$((seen + 1))
    else
      seen=0
      viewer_window=$candidate
    fi
    [ "$seen" -ge 2 ] && break
    sleep 0.2
  done
  if [ "$seen" -lt 2 ]; then
    echo "the viewer's window was not mapped" >&2
    return 1
  fi
  # A motion event in the middle of the screen first, so the viewer does not take the pointer
  # to rest at (0, 0) (two moves: a move to where the pointer already is makes no event); then
  # the keyboard focus, which makes the viewer active.
  local x=$((screen_width / 2)) y=$((screen_height / 2))
  xdotool mousemove $((x - 20)) $((y - 20))
  xdotool mousemove "$x" "$y"
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

# Ends a process this session started and waits for it.
end_process() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

stop_xvfb() {
  if [ -n "$viewer_pid" ]; then stop_viewer; viewer_pid=; fi
  if [ -n "$wm_pid" ]; then end_process "$wm_pid"; wm_pid=; fi
  if [ -n "$xvfb_pid" ]; then end_process "$xvfb_pid"; xvfb_pid=; fi
}

session_cleanup() {
  stop_xvfb
  if [ "${KEEP_E2E:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap session_cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  KEEP_E2E=1
  exit 1
}

step() { echo "== $*"; }
