#!/usr/bin/env bash
# The viewer end to end: the real program in Xvfb screens, driven by xdotool, the picture on its
# screen compared pixel for pixel with `karst-render region --view` of the view it should show.
#
#   e2e-viewer.sh KARST_VIEWER KARST_RENDER KARST_SAMPLEWORLD
#
# At 640 x 480, without a window manager: the first region at (0, 0) after start-up; Space,
# Backspace; arrow keys; the mouse resting at the right edge (the view moves right by a multiple
# of 10 and stops when the mouse leaves the edge); no CPU use while nothing happens; Escape ends
# the program with exit code 0; the world's files are unchanged and nothing was written beside
# them; a region that cannot be shown brings up the "Error!" box as a window, and Return on it
# ends the program with exit code 0.
# At 1280 x 1024 without a window manager and at 1920 x 1080 under one: the picture fills the
# screen scaled by a whole number, centred on black; the first region, Space, and the mouse
# resting in the border beside the picture scrolls like the picture's edge.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 KARST_VIEWER KARST_RENDER KARST_SAMPLEWORLD" >&2
  exit 2
fi
viewer_binary=$1
render=$2
sampleworld=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-e2e-XXXXXX")
world=$work/world
shots=$work/shots
mkdir -p "$world" "$shots"
# shellcheck source=scripts/viewer-session.sh
source "$(dirname "$0")/viewer-session.sh"

# The world beside a copy of the viewer, as a user would have it.
cp "$viewer_binary" "$world/karst-viewer"
"$sampleworld" "$world"
(cd "$world" && ls -A | sort > "$work/files-before" && sha256sum ./*.GFF > "$work/sums-before")
grep -q RGN01.GFF "$work/files-before" || fail "the sample world has no RGN01.GFF"
grep -q RGN02.GFF "$work/files-before" || fail "the sample world has no RGN02.GFF"

# Rests the mouse at screen position $2,$3 for half a second, then moves it to the middle: the
# view of RGN01 must have gone from $4,$5 by whole 10-pixel steps of $6,$7 (-1, 0 or 1 each way,
# clamped to the region) and then stay. Sets scrolled_x and scrolled_y to where it went.
expect_edge_scroll() {
  local label=$1 x0=$4 y0=$5 dx=$6 dy=$7
  xdotool mousemove "$2" "$3"
  sleep 0.5
  xdotool mousemove $((screen_width / 2)) $((screen_height / 2))
  sleep 0.2
  screen_rgb "$shots/$label.rgb" || fail "$label: the screen beside the picture is not black"
  sleep 0.3
  screen_rgb "$shots/$label-later.rgb" || fail "$label: the screen beside the picture is not black"
  cmp -s "$shots/$label.rgb" "$shots/$label-later.rgb" ||
    fail "$label: the view still moves with the mouse away from the edge"
  local k x y last=
  for k in $(seq 1 141); do
    x=$((x0 + 10 * k * dx)); x=$((x < 0 ? 0 : x > 1408 ? 1408 : x))
    y=$((y0 + 10 * k * dy)); y=$((y < 0 ? 0 : y > 1056 ? 1056 : y))
    [ "$x,$y" = "$last" ] && break
    last=$x,$y
    expected_rgb RGN01.GFF "$x,$y" "$shots/$label.expected.rgb"
    if cmp -s "$shots/$label.rgb" "$shots/$label.expected.rgb"; then
      echo "   $label: the view moved from $x0,$y0 to $x,$y"
      scrolled_x=$x
      scrolled_y=$y
      return 0
    fi
  done
  KEEP_E2E=1
  fail "$label: after resting at $2,$3 the screen is no view $x0,$y0 + 10k x ($dx,$dy)"
}

step "640 x 480, no window manager"
start_xvfb 640x480 || fail "no screen"
picture_geometry

step "start-up"
start_viewer "$world" || fail "the viewer did not start"
expect_view startup RGN01.GFF 0,0

step "Space, Backspace"
xdotool key space
expect_view space RGN02.GFF 0,0
xdotool key BackSpace
expect_view backspace RGN01.GFF 0,0

step "arrows"
xdotool key Right Right Down
expect_view arrows RGN01.GFF 32,16
xdotool key Left Up Up
expect_view arrows-back RGN01.GFF 16,0

step "edge scrolling"
expect_edge_scroll edge 639 240 16 0 1 0

step "no CPU while nothing happens"
expect_idle

step "Escape"
expect_exit_after Escape

step "the world is unchanged"
(cd "$world" && ls -A | sort > "$work/files-after" && sha256sum ./*.GFF > "$work/sums-after")
cmp -s "$work/files-before" "$work/files-after" || fail "files appeared or went beside the viewer"
cmp -s "$work/sums-before" "$work/sums-after" || fail "the world's files changed"

step "a message box"
broken=$work/broken
mkdir -p "$broken"
cp "$world/karst-viewer" "$world/RGN01.GFF" "$world/OBJEX.GFF" "$broken/"
printf 'no container' > "$broken/RGN02.GFF"
start_viewer "$broken" || fail "the viewer did not start beside a broken second region"
xdotool key space
expect_error_box
xdotool windowfocus --sync "$box"
expect_exit_after Return
if grep -q "Error loading zone!" "$work/viewer.err"; then
  fail "the message went to standard error as well as into the box"
fi
stop_xvfb

for setting in "1280x1024 none" "1920x1080 matchbox"; do
  read -r size manager <<< "$setting"
  step "$size, window manager: $manager"
  start_xvfb "$size" || fail "no screen"
  if [ "$manager" != none ]; then start_window_manager || fail "no window manager"; fi
  picture_geometry
  start_viewer "$world" || fail "the viewer did not start"
  expect_view "startup-$size" RGN01.GFF 0,0
  xdotool key space
  expect_view "space-$size" RGN02.GFF 0,0
  xdotool key BackSpace
  expect_view "backspace-$size" RGN01.GFF 0,0
  # The screen's last column and row lie in the border beside the picture or at its edge.
  expect_edge_scroll "edge-right-$size" $((screen_width - 1)) $((screen_height / 2)) 0 0 1 0
  expect_edge_scroll "edge-bottom-$size" $((screen_width / 2)) $((screen_height - 1)) \
    "$scrolled_x" 0 0 1
  expect_exit_after Escape
  stop_xvfb
done
echo "PASS"
