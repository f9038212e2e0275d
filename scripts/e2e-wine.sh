#!/usr/bin/env bash
# The Windows build under Wine, end to end, against the Linux build:
#   e2e-wine.sh WINDOWS_BIN LINUX_BIN
# WINDOWS_BIN holds the .exe files, LINUX_BIN the Linux karst-render and karst-sampleworld.
# karst-render.exe all writes pictures byte for byte the same as the Linux karst-render all.
# karst-viewer.exe, copied alone beside the sample world (no font file: it carries its own), in a
# 640 x 480 Xvfb screen without a window manager: the screen is the first region at (0, 0), name
# included, pixel for pixel as the Linux karst-render --view 0,0 draws it; Space shows the
# second; Escape ends it with exit code 0; a second region that cannot be shown brings up the
# "Error!" box as a window, and Return on it ends the program with exit code 0.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 WINDOWS_BIN LINUX_BIN" >&2
  exit 2
fi
windows_bin=$(cd "$1" && pwd)
linux_bin=$(cd "$2" && pwd)
scripts=$(cd "$(dirname "$0")" && pwd)
wine_run=$scripts/wine-run.sh
render=$linux_bin/karst-render

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-e2e-wine-XXXXXX")
world=$work/world
shots=$work/shots
mkdir -p "$world" "$shots"
viewer_program=karst-viewer.exe
viewer_runner=("$wine_run")
# shellcheck source=scripts/viewer-session.sh
source "$scripts/viewer-session.sh"

cp "$windows_bin/karst-viewer.exe" "$world/"
"$linux_bin/karst-sampleworld" "$world" >/dev/null

# Relative paths: the Windows program sees them as they are, below Wine's drive for /.
step "karst-render.exe all"
(cd "$work" && "$wine_run" "$windows_bin/karst-render.exe" all world -o pictures-windows >/dev/null) ||
  fail "karst-render.exe all failed"
(cd "$work" && "$render" all world -o pictures-linux >/dev/null) || fail "karst-render all failed"
count=$(find "$work/pictures-linux" -type f | wc -l)
[ "$count" -gt 0 ] || fail "karst-render all wrote no pictures"
diff -r "$work/pictures-linux" "$work/pictures-windows" >&2 ||
  fail "karst-render.exe all wrote other pictures than karst-render all"
echo "   $count files, byte for byte the same"

step "karst-viewer.exe, 640 x 480, no window manager"
"$wine_run" --wait
start_xvfb 640x480 || fail "no screen"
picture_geometry
start_viewer "$world" || fail "the viewer did not start"
expect_view startup RGN01.GFF 0,0
xdotool key space
expect_view space RGN02.GFF 0,0
expect_exit_after Escape

step "karst-viewer.exe, a message box"
broken=$work/broken
mkdir -p "$broken"
cp "$world/karst-viewer.exe" "$world/RGN01.GFF" "$world/OBJEX.GFF" "$broken/"
printf 'no container' >"$broken/RGN02.GFF"
start_viewer "$broken" || fail "the viewer did not start beside a broken second region"
xdotool key space
expect_error_box
xdotool windowfocus --sync "$box"
expect_exit_after Return
stop_xvfb

echo "PASS"
