#!/usr/bin/env bash
# The Windows build under Wine, end to end, against the Linux build:
#   e2e-wine.sh WINDOWS_BIN LINUX_BIN
# WINDOWS_BIN holds the .exe files, LINUX_BIN the Linux karst-render and karst-sampleworld.
# karst-render.exe all writes pictures byte for byte the same as the Linux karst-render all.
# karst-viewer.exe, copied alone beside the sample world (no font file: it carries its own), in a
# 640 x 480 Xvfb screen without a window manager: the screen is the first region at (0, 0), name
# included, pixel for pixel as the Linux karst-render --view 0,0 draws it; Space shows the
# second; Escape ends it with exit code 0; a second region that cannot be shown brings up the
# "Error!" box as a window, and Return on it ends the program with exit code 0. On a 1280 x 1024
# screen, the pointer resting at its centre before the start and moved by one pixel once the
# window is there, the view stays at (0, 0) and the viewer's processes (the program and its
# wineserver) use under 5 % of a core over 3 seconds; resting at the right edge, the view moves
# at the display's pace. karst-workbench.exe on the sample world in a 1280 x 800 screen: the map
# shows the first region at zoom 1, pixel for pixel as the Linux karst-render draws it, and
# Ctrl+Q ends it with exit code 0. karst-gff.exe pack --watch on an unpacked region, with
# Windows' change notification: a save in the folder comes out in the game file, the very bytes
# the Linux karst-gff pack makes of the folder, and deleting the folder ends the watch saying so.
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

step "karst-viewer.exe, 1280 x 1024, the pointer resting at the centre from the start"
"$wine_run" --wait
start_xvfb 1280x1024 || fail "no screen"
picture_geometry
xdotool mousemove $((screen_width / 2)) $((screen_height / 2))
nudge_pointer=1 start_viewer "$world" || fail "the viewer did not start"
expect_view centre RGN01.GFF 0,0
# The viewer's processes: the program, and the wineserver that carries out its calls, which
# works in a folder named after the prefix's device and inode. (Wine's own services, such as the
# device host polling its buses, keep their pace whatever the program does.)
prefix=$(cd "${WINEPREFIX:-$scripts/../build-windows/wine}" && pwd)
server=server-$(stat -c '%D' "$prefix")-$(printf '%x' "$(stat -c '%i' "$prefix")")
wine_ticks() {
  local total=0 stat_line pid folder
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    folder=$(readlink "/proc/$pid/cwd" 2>/dev/null) || continue
    if [ "$pid" = "$viewer_pid" ] || [[ "$folder" == */"$server" ]]; then
      stat_line=$(cat "/proc/$pid/stat" 2>/dev/null) || continue
      total=$((total + $(awk '{ print $14 + $15 }' <<<"$stat_line")))
    fi
  done
  echo "$total"
}
before=$(wine_ticks)
sleep 3
used=$(($(wine_ticks) - before))
# 5 % of a core over 3 seconds.
limit=$(($(getconf CLK_TCK) * 3 * 5 / 100))
[ "$used" -lt "$limit" ] || fail "the viewer's processes used $used clock ticks in 3 s at rest (less than $limit wanted)"
expect_view still RGN01.GFF 0,0
echo "   $used clock ticks in 3 s at rest"
# The right edge: 10 pixels a presented frame, frames no faster than the display's 60 a second,
# so a second there (and the time the pointer takes to come back) moves the view well below 900.
xdotool mousemove $((screen_width - 1)) $((screen_height / 2))
sleep 1
xdotool mousemove $((screen_width / 2)) $((screen_height / 2))
sleep 0.5
screen_rgb "$shots/edge.rgb" || fail "the screen beside the picture is not black"
moved=
for x in $(seq 0 10 1400); do
  expected_rgb RGN01.GFF "$x,0" "$shots/edge.expected.rgb"
  cmp -s "$shots/edge.rgb" "$shots/edge.expected.rgb" && { moved=$x; break; }
done
[ -n "$moved" ] || fail "after a second at the right edge the view is at no X of row 0"
[ "$moved" -gt 0 ] && [ "$moved" -le 900 ] || fail "a second at the right edge moved the view by $moved pixels"
echo "   a second at the right edge moved the view by $moved pixels"
expect_exit_after Escape
stop_xvfb

step "karst-workbench.exe, 1280 x 800"
start_xvfb 1280x800 || fail "no screen"
"$render" region "$world/RGN01.GFF" -o "$shots/workbench-expected.png" 2>/dev/null
(cd "$work" && exec "$wine_run" "$windows_bin/karst-workbench.exe" --size 1280x800 world \
  >"$work/workbench.out" 2>"$work/workbench.err") &
viewer_pid=$!
shown=
for _ in $(seq 150); do
  xwd -root -silent | convert xwd:- "png:$shots/workbench.png"
  if shown=$("$scripts/screen-match.py" "$shots/workbench.png" "$shots/workbench-expected.png" 2>"$shots/workbench.why"); then
    break
  fi
  shown=
  sleep 0.2
done
[ -n "$shown" ] || fail "karst-workbench.exe: $(cat "$shots/workbench.why")"
echo "   the map is RGN01.GFF at zoom 1 at $shown, pixel for pixel"
window=$(xdotool search --onlyvisible --name "Karst Workbench$" | tail -n 1) || fail "no workbench window"
xdotool windowfocus --sync "$window" 2>/dev/null || true
expect_exit_after ctrl+q
stop_xvfb

step "karst-gff.exe pack --watch"
(cd "$work" && "$wine_run" "$windows_bin/karst-gff.exe" unpack world/RGN01.GFF -o rgn01 >/dev/null) ||
  fail "karst-gff.exe unpack failed"
cp "$world/RGN01.GFF" "$work/RGN01.original"
(cd "$work" && exec "$wine_run" "$windows_bin/karst-gff.exe" pack --watch rgn01 -o world/RGN01.GFF --replace \
  >"$work/watch.out" 2>"$work/watch.err") &
watch_pid=$!
for _ in $(seq 300); do
  grep -q "watching" "$work/watch.err" 2>/dev/null && break
  sleep 0.2
done
grep -q "watching" "$work/watch.err" || fail "karst-gff.exe pack --watch did not start: $(cat "$work/watch.err")"
printf 'Saved under Wine' >"$work/rgn01/name.txt"
"$linux_bin/karst-gff" pack "$work/rgn01" -o "$work/RGN01.expected" >/dev/null || fail "karst-gff pack failed"
for _ in $(seq 300); do
  cmp -s "$work/world/RGN01.GFF" "$work/RGN01.expected" && break
  sleep 0.2
done
cmp -s "$work/world/RGN01.GFF" "$work/RGN01.expected" ||
  fail "the save was not packed into RGN01.GFF: $(cat "$work/watch.out" "$work/watch.err")"
cmp -s "$work/world/RGN01.GFF.orig" "$work/RGN01.original" || fail "the original was not kept as RGN01.GFF.orig"
echo "   a save packed into RGN01.GFF, the original kept"
rm -rf "$work/rgn01"
for _ in $(seq 300); do
  kill -0 "$watch_pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$watch_pid" 2>/dev/null; then
  kill "$watch_pid"
  fail "the watch went on after its folder was deleted"
fi
grep -q "the edit folder is gone" "$work/watch.err" || fail "the watch's end said nothing: $(cat "$work/watch.err")"
echo "   deleting the folder ended the watch"
echo "PASS"
