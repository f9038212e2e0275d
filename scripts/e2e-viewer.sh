#!/usr/bin/env bash
# The viewer end to end: the real program in a 640 x 480 Xvfb screen, driven by xdotool, its
# screen compared pixel for pixel with `karst-render region --view` of the view it should show.
#
#   e2e-viewer.sh KARST_VIEWER KARST_RENDER KARST_SAMPLEWORLD
#
# Checks, in order: the first region at (0, 0) after start-up; Space, Backspace; arrow keys;
# the mouse resting at the right edge (the view moves right by a multiple of 10 and stops when
# the mouse leaves the edge); no CPU use while nothing happens; Escape ends the program with
# exit code 0; the world's files are unchanged and nothing was written beside them.
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

cleanup() {
  session_cleanup
  if [ "${KEEP_E2E:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

step() { echo "== $*"; }

# The world beside a copy of the viewer, as a user would have it.
cp "$viewer_binary" "$world/karst-viewer"
"$sampleworld" "$world"
(cd "$world" && ls -A | sort > "$work/files-before" && sha256sum ./*.GFF > "$work/sums-before")
grep -q RGN01.GFF "$work/files-before" || fail "the sample world has no RGN01.GFF"
grep -q RGN02.GFF "$work/files-before" || fail "the sample world has no RGN02.GFF"

start_xvfb || fail "no screen"

# The screen as 640 x 480 raw RGB bytes.
screen_rgb() {
  xwd -root -silent | convert xwd:- -depth 8 "rgb:$1"
}

# What the viewer shows for region $1 with the view at $2 (X,Y), as raw RGB bytes.
expected_rgb() {
  local png=$shots/expected-$(basename "$1" .GFF)-${2/,/-}.png
  "$render" region "$world/$1" --objects "$world/OBJEX.GFF" --view "$2" -o "$png"
  convert "$png" -depth 8 "rgb:$3"
}

# Waits until the screen shows region $1 at view $2, for up to 5 seconds.
expect_view() {
  local label=$1 region=$2 view=$3
  expected_rgb "$region" "$view" "$shots/$label.expected.rgb"
  for _ in $(seq 50); do
    screen_rgb "$shots/$label.rgb"
    if cmp -s "$shots/$label.rgb" "$shots/$label.expected.rgb"; then
      echo "   $label: the screen is $region at $view"
      return 0
    fi
    sleep 0.1
  done
  local differing
  differing=$(compare -metric AE -size 640x480 -depth 8 "rgb:$shots/$label.rgb" \
    "rgb:$shots/$label.expected.rgb" null: 2>&1 || true)
  KEEP_E2E=1
  fail "$label: the screen is not $region at $view ($differing pixels differ)"
}

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
xdotool mousemove 639 240
sleep 0.5
xdotool mousemove 320 240
sleep 0.2
screen_rgb "$shots/edge.rgb"
sleep 0.3
screen_rgb "$shots/edge-later.rgb"
cmp -s "$shots/edge.rgb" "$shots/edge-later.rgb" || fail "the view still moves with the mouse away from the edge"
# The view went right from 16 by a whole number of 10-pixel steps (at most to 2048 - 640).
found=
for x in $(seq 26 10 1406) 1408; do
  expected_rgb RGN01.GFF "$x,0" "$shots/edge.expected.rgb"
  if cmp -s "$shots/edge.rgb" "$shots/edge.expected.rgb"; then
    found=$x
    break
  fi
done
[ -n "$found" ] || { KEEP_E2E=1; fail "after resting at the right edge the screen is no view 16 + 10k, 0"; }
echo "   edge: the view moved from 16,0 to $found,0"

step "no CPU while nothing happens"
clock_ticks=$(getconf CLK_TCK)
before=$(viewer_ticks)
sleep 3
after=$(viewer_ticks)
used=$((after - before))
# Under 1% of one core over 3 seconds.
if [ $((used * 100)) -ge $((3 * clock_ticks)) ]; then
  fail "the idle viewer used $used of $((3 * clock_ticks)) clock ticks in 3 s"
fi
echo "   idle: $used clock ticks in 3 s"

step "Escape"
xdotool key Escape
status=0
for _ in $(seq 100); do
  kill -0 "$viewer_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$viewer_pid" 2>/dev/null && fail "the viewer still runs after Escape"
wait "$viewer_pid" || status=$?
viewer_pid=
[ "$status" -eq 0 ] || { cat "$work/viewer.err" >&2; fail "exit code $status after Escape"; }

step "the world is unchanged"
(cd "$world" && ls -A | sort > "$work/files-after" && sha256sum ./*.GFF > "$work/sums-after")
cmp -s "$work/files-before" "$work/files-after" || fail "files appeared or went beside the viewer"
cmp -s "$work/sums-before" "$work/sums-after" || fail "the world's files changed"
echo "PASS"
