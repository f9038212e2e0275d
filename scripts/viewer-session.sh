# Shell functions for running the real viewer in a private Xvfb screen, sourced by the
# end-to-end tests and the CPU measurement. The caller sets `work` (a scratch directory) before
# sourcing; on exit the session stops and `work` is removed, unless KEEP_E2E=1 or a step failed.
#   start_xvfb [WxH]       a screen of W x H (default 640x480) on a display number nobody uses;
#                          exports DISPLAY, sets screen_width and screen_height
#   start_window_manager   a small window manager on that screen (matchbox)
#   start_viewer DIR [ARG...]  runs DIR/karst-viewer (DIR/$viewer_program, through the command
#                          in the array viewer_runner when the caller sets one) with the
#                          arguments given; sets viewer_pid and viewer_window (nudge_pointer=1:
#                          the pointer moves by one pixel only once the window is there)
#   picture_geometry       where the 640 x 480 picture lies on the screen
#   expect_view LABEL REGION X,Y   waits until the screen shows REGION of $world at that view,
#                          as $render draws it (pictures kept in $shots)
#   expect_exit_after KEY  presses KEY; the viewer must end with exit code 0
#   expect_error_box       waits for the "Error!" box on screen; sets box
#   expect_idle            the viewer uses under 1% of one core over 3 seconds
#   stop_viewer            asks the viewer to stop, then kills it
#   stop_xvfb              stops the viewer, the window manager and the screen
#   fail TEXT...           says what failed and exits 1, keeping `work` to look at
#   step TEXT...           announces the next step

viewer_program=${viewer_program:-karst-viewer}
[ -n "${viewer_runner+set}" ] || viewer_runner=()
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
    env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER "${viewer_runner[@]}" "$1/$viewer_program" "${@:2}" \
    >"$work/viewer.out" 2>"$work/viewer.err" &
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
  # the keyboard focus, which makes the viewer active. With nudge_pointer=1 the pointer stays
  # where the caller put it before the start, but for one pixel to the right.
  if [ "${nudge_pointer:-0}" = 1 ]; then
    local X Y SCREEN WINDOW
    eval "$(xdotool getmouselocation --shell)"
    xdotool mousemove $((X + 1)) "$Y"
  else
    local x=$((screen_width / 2)) y=$((screen_height / 2))
    xdotool mousemove $((x - 20)) $((y - 20))
    xdotool mousemove "$x" "$y"
  fi
  xdotool windowfocus --sync "$viewer_window"
}

# Where the 640 x 480 picture lies on the screen: scaled by the largest whole number that fits,
# centred.
picture_geometry() {
  local across=$((screen_width / 640)) down=$((screen_height / 480))
  local scale=$((across < down ? across : down))
  picture_width=$((640 * scale))
  picture_height=$((480 * scale))
  picture_left=$(((screen_width - picture_width) / 2))
  picture_top=$(((screen_height - picture_height) / 2))
}

# The picture on the screen, cropped and scaled back to 640 x 480, as raw RGB bytes. Fails when
# anything beside the picture is not black.
screen_rgb() {
  xwd -root -silent > "$shots/screen.xwd"
  local right=$((picture_left + picture_width - 1)) bottom=$((picture_top + picture_height - 1))
  convert "xwd:$shots/screen.xwd" \
    -crop "${picture_width}x${picture_height}+${picture_left}+${picture_top}" +repage \
    -sample 640x480 -depth 8 "rgb:$1"
  local border
  border=$(convert "xwd:$shots/screen.xwd" -fill black \
    -draw "rectangle $picture_left,$picture_top $right,$bottom" -format '%[max]' info:)
  [ "$border" = 0 ]
}

# What the viewer shows for region $1 with the view at $2 (X,Y), as raw RGB bytes.
expected_rgb() {
  local png=$shots/expected-$(basename "$1" .GFF)-${2/,/-}.png
  [ -f "$png" ] || "$render" region "$world/$1" --objects "$world/OBJEX.GFF" --view "$2" -o "$png"
  convert "$png" -depth 8 "rgb:$3"
}

# Waits until the screen shows region $1 at view $2, for up to 5 seconds.
expect_view() {
  local label=$1 region=$2 view=$3
  expected_rgb "$region" "$view" "$shots/$label.expected.rgb"
  for _ in $(seq 50); do
    if screen_rgb "$shots/$label.rgb" &&
      cmp -s "$shots/$label.rgb" "$shots/$label.expected.rgb"; then
      echo "   $label: the screen is $region at $view"
      return 0
    fi
    sleep 0.1
  done
  local differing
  differing=$(compare -metric AE -size 640x480 -depth 8 "rgb:$shots/$label.rgb" \
    "rgb:$shots/$label.expected.rgb" null: 2>&1 || true)
  KEEP_E2E=1
  screen_rgb "$shots/$label.rgb" || fail "$label: the screen beside the picture is not black"
  fail "$label: the screen is not $region at $view ($differing pixels differ)"
}

# Escape, then the viewer must end with exit code 0 within 10 seconds.
expect_exit_after() {
  xdotool key "$1"
  local status=0
  for _ in $(seq 100); do
    kill -0 "$viewer_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$viewer_pid" 2>/dev/null && fail "the viewer still runs after $1"
  wait "$viewer_pid" || status=$?
  viewer_pid=
  [ "$status" -eq 0 ] || { cat "$work/viewer.err" >&2; fail "exit code $status after $1"; }
}

# Waits up to 10 seconds for the "Error!" box as a window on screen; sets `box` to its id.
# SDL names the box in UTF-8 only, which xdotool's name search does not read: the box is found
# in the window tree instead, and must be on screen.
expect_error_box() {
  box=
  for _ in $(seq 100); do
    box=$(xwininfo -root -tree | awk '$2 == "\"Error!\":" { print $1; exit }')
    [ -n "$box" ] && xwininfo -id "$box" | grep -q "Map State: IsViewable" && break
    box=
    sleep 0.1
  done
  if [ -z "$box" ]; then
    cat "$work/viewer.err" >&2
    fail "no \"Error!\" box window after Space to a broken region"
  fi
  echo "   box: window $box \"Error!\""
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

expect_idle() {
  local clock_ticks before after used
  clock_ticks=$(getconf CLK_TCK)
  before=$(viewer_ticks)
  sleep 3
  after=$(viewer_ticks)
  used=$((after - before))
  if [ $((used * 100)) -ge $((3 * clock_ticks)) ]; then
    fail "the idle viewer used $used of $((3 * clock_ticks)) clock ticks in 3 s"
  fi
  echo "   idle: $used clock ticks in 3 s"
}

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
