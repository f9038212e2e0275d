#!/usr/bin/env bash
# The viewer given a game folder reloads the region on screen when its file changes, end to end:
# the real program in an Xvfb screen, its picture compared pixel for pixel with
# `karst-render region --view` of the view it should show.
#
#   e2e-viewer-reload.sh KARST_VIEWER KARST_RENDER KARST_SAMPLEWORLD
#
# Started on the folder and scrolled away from the origin: RGN01.GFF replaced by a rename with
# RGN02.GFF's bytes shows RGN02 at the same view; the file cut short in place leaves that picture
# and says why in one line on standard error naming the file; a later good save (RGN01's own
# bytes again) is shown; at rest the viewer uses no CPU; Escape ends it with exit code 0.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 KARST_VIEWER KARST_RENDER KARST_SAMPLEWORLD" >&2
  exit 2
fi
viewer_binary=$1
render=$2
sampleworld=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-reload-XXXXXX")
world=$work/world
shots=$work/shots
mkdir -p "$world" "$shots"
# shellcheck source=scripts/viewer-session.sh
source "$(dirname "$0")/viewer-session.sh"

cp "$viewer_binary" "$world/karst-viewer"
"$sampleworld" "$world"
cp "$world/RGN01.GFF" "$work/RGN01.saved"
cmp -s "$world/RGN01.GFF" "$world/RGN02.GFF" && fail "the sample world's RGN01.GFF and RGN02.GFF are the same"

# Replaces RGN01.GFF as editors and pack do: a file written beside it, renamed over it.
replace_region() {
  cp "$1" "$world/.RGN01.GFF.saving"
  mv -f "$world/.RGN01.GFF.saving" "$world/RGN01.GFF"
}

# The lines on the viewer's standard error that name RGN01.GFF.
lines_naming_region() { grep -c "RGN01.GFF" "$work/viewer.err" || true; }

step "640 x 480, the viewer given the folder"
start_xvfb 640x480 || fail "no screen"
picture_geometry
start_viewer "$world" "$world" || fail "the viewer did not start"
expect_view startup RGN01.GFF 0,0
xdotool key Right Right Down
expect_view scrolled RGN01.GFF 32,16

step "the region file replaced by a rename"
replace_region "$world/RGN02.GFF"
expect_view replaced RGN02.GFF 32,16

step "the region file cut short"
truncate -s 1000 "$world/RGN01.GFF"
for _ in $(seq 50); do
  [ "$(lines_naming_region)" -ge 1 ] && break
  sleep 0.1
done
[ "$(lines_naming_region)" -eq 1 ] || { cat "$work/viewer.err" >&2; fail "no line naming RGN01.GFF"; }
echo "   $(grep RGN01.GFF "$work/viewer.err")"
sleep 1
expect_view broken RGN02.GFF 32,16
[ "$(lines_naming_region)" -eq 1 ] || { cat "$work/viewer.err" >&2; fail "more than one line for one broken save"; }

step "a later good save"
replace_region "$work/RGN01.saved"
expect_view saved-again RGN01.GFF 32,16

step "no CPU at rest"
expect_idle

step "Escape"
expect_exit_after Escape
stop_xvfb
echo "PASS"
