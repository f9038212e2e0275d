#!/usr/bin/env bash
# The workbench end to end: the real program in an Xvfb screen, driven with xdotool, its map
# compared pixel for pixel with karst-render's pictures of the same region.
#
#   e2e-workbench.sh KARST_WORKBENCH KARST_RENDER KARST_SAMPLEWORLD
#
# On the sample world at 1280 x 800: the first region at zoom 1 with its top-left pixel at the
# map's top-left; zoom 2 (+, then Home) at the same place; Space and Backspace; each layer key
# changes the map and changes it back, tiles and objects as karst-render draws them; a click on an
# entity's row marks it in the middle of the map; Ctrl+E writes the PNG karst-render writes, and
# Escape in its dialog writes nothing; at rest no CPU; E edits the region, and a map saved in its
# edit folder (outside the game folder) is packed into the game file, the original kept, and shown
# pixel for pixel as karst-render draws the new file; Escape does not quit, Ctrl+Q does, with
# exit code 0. Then damaged folders (a region cut short, a library missing, a file named like a
# region that is none, a folder in a region file's place) open and step through without a crash.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 KARST_WORKBENCH KARST_RENDER KARST_SAMPLEWORLD" >&2
  exit 2
fi
workbench=$1
render=$2
sampleworld=$3
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-workbench-e2e-XXXXXX")
world=$work/world
shots=$work/shots
mkdir -p "$world" "$shots" "$work/config" "$work/data" "$work/exports"
# shellcheck source=scripts/viewer-session.sh
source "$here/viewer-session.sh"
"$sampleworld" "$world" >/dev/null
(cd "$world" && sha256sum ./*.GFF >"$work/sums-before")

workbench_pid=
workbench_window=

# Starts the workbench on $1 with the settings and data folders of this run only.
start_workbench() {
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" XDG_CONFIG_HOME=$work/config \
    XDG_DATA_HOME=$work/data env -u SDL_VIDEODRIVER "$workbench" --size 1280x800 "$@" \
    >"$work/workbench.out" 2>"$work/workbench.err" &
  workbench_pid=$!
  # The session stops it, like the viewer, when a step fails.
  viewer_pid=$workbench_pid
  workbench_window=
  for _ in $(seq 100); do
    workbench_window=$(xdotool search --onlyvisible --name "Karst Workbench$" 2>/dev/null | tail -n 1) || true
    [ -n "$workbench_window" ] && break
    sleep 0.2
  done
  [ -n "$workbench_window" ] || fail "the workbench's window was not mapped"
  xdotool windowfocus --sync "$workbench_window" 2>/dev/null || true
}

screenshot() {
  xwd -root -silent >"$shots/screen.xwd"
  convert "xwd:$shots/screen.xwd" "png:$1"
}

# karst-render's picture of region $1 at scale $2 (more arguments go to karst-render).
expected_png() {
  local png=$shots/expected-$(basename "$1" .GFF)-$2${3:+-nobjects}.png
  [ -f "$png" ] || "$render" region "$world/$1" --scale "$2" ${3:+"$3"} -o "$png"
  echo "$png"
}

# Waits up to 10 seconds until the map shows $2 (a PNG) with its top-left at $3 (X,Y), or
# anywhere when $3 is empty; sets `found` to where.
expect_map() {
  local label=$1 png=$2 at=${3:-}
  for _ in $(seq 50); do
    screenshot "$shots/$label.png"
    if found=$("$here/screen-match.py" "$shots/$label.png" "$png" ${at:+--at "$at"} 2>"$shots/$label.why"); then
      echo "   $label: the map is $(basename "$png") at $found"
      return 0
    fi
    sleep 0.2
  done
  fail "$label: $(cat "$shots/$label.why")"
}

# Presses $2 and waits until the screen differs from the picture $1; then the screen is kept as $3.
expect_change() {
  local before=$1 key=$2 after=$3
  xdotool key "$key"
  for _ in $(seq 50); do
    sleep 0.1
    screenshot "$after"
    cmp -s "$before" "$after" || return 0
  done
  fail "$key did not change the screen"
}

workbench_ticks() { awk '{ print $14 + $15 }' "/proc/$workbench_pid/stat"; }

step "1280 x 800"
start_xvfb 1280x800 || fail "no screen"
start_workbench "$world"

step "the first region at zoom 1, its top-left pixel at the map's top-left"
expect_map start "$(expected_png RGN01.GFF 1)"
map_at=$found
map_x=${map_at%,*}
map_y=${map_at#*,}
[ "$map_x" -gt 0 ] && [ "$map_y" -gt 0 ] || fail "the map is at $map_at, not beside the panels"

step "zoom 2: + then Home"
xdotool key plus
xdotool key Home
expect_map zoom2 "$(expected_png RGN01.GFF 2)" "$map_at"
xdotool key 1
xdotool key Home
expect_map zoom1 "$(expected_png RGN01.GFF 1)" "$map_at"

step "Space and Backspace step the regions, each opening at zoom 1 and its top-left"
xdotool key plus
xdotool key space
expect_map next "$(expected_png RGN02.GFF 1)" "$map_at"
xdotool key BackSpace
expect_map previous "$(expected_png RGN01.GFF 1)" "$map_at"
xdotool key Prior
sleep 0.3
expect_map first-stays "$(expected_png RGN01.GFF 1)" "$map_at"

step "layers"
xdotool key o
expect_map no-objects "$(expected_png RGN01.GFF 1 --no-objects)" "$map_at"
xdotool key o
expect_map objects-again "$(expected_png RGN01.GFF 1)" "$map_at"
screenshot "$shots/layers-before.png"
for key in t g b v; do
  expect_change "$shots/layers-before.png" "$key" "$shots/layer-$key.png"
  xdotool key "$key"
  expect_map "layer-$key-off" "$(expected_png RGN01.GFF 1)" "$map_at"
done

step "a click on an entity's row brings it into the view and marks it"
# The entities table is the right panel's first tab: a tab bar, the filter, the headings, then
# one row per entity; the second row is entity 1, which the sample world places right of the
# first view.
eval "$(xdotool getwindowgeometry --shell "$workbench_window")"
screenshot "$shots/entity-before.png"
xdotool mousemove $((WIDTH - 300)) $((map_y + 105)) click 1
sleep 0.5
screenshot "$shots/entity.png"
if cmp -s "$shots/entity-before.png" "$shots/entity.png"; then
  fail "a click on an entity's row did not change the map"
fi
marked=$(convert "$shots/entity.png" -crop "600x700+$map_x+$map_y" +repage \
  -fill black +opaque "rgb(255,32,255)" -format '%[fx:maxima>0]' info:)
[ "$marked" = 1 ] || fail "no entity is marked on the map after a click on its row"
xdotool key Escape
kill -0 "$workbench_pid" || fail "Escape ended the workbench"

step "Ctrl+E writes the picture karst-render writes; Escape in its dialog writes nothing"
xdotool key Home
xdotool key ctrl+e
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 5 "$work/exports/first.png"
xdotool key Return
for _ in $(seq 50); do
  [ -f "$work/exports/first.png" ] && break
  sleep 0.2
done
"$render" region "$world/RGN01.GFF" -o "$shots/karst-render.png"
cmp -s "$work/exports/first.png" "$shots/karst-render.png" || fail "the exported region differs from karst-render's"
xdotool key ctrl+e
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 5 "$work/exports/not-written.png"
xdotool key Escape Escape
sleep 0.5
[ ! -e "$work/exports/not-written.png" ] || fail "a cancelled export wrote its file"
kill -0 "$workbench_pid" || fail "Escape in a dialog ended the workbench"

step "at rest the CPU is idle"
xdotool mousemove 5 5
sleep 1
before=$(workbench_ticks)
sleep 5
after=$(workbench_ticks)
ticks=$((after - before))
echo "   $ticks clock ticks in 5 s at rest"
[ "$ticks" -le 5 ] || fail "the workbench used $ticks ticks of CPU in 5 s at rest (1 % is 5)"

step "E edits the region: a save of its map in the edit folder is packed and shown at once"
xdotool key e
map_file=
for _ in $(seq 100); do
  map_file=$(find "$work/data/karst/edits" -path '*rgn01-gff/map.tmj' 2>/dev/null | head -n 1) || true
  [ -n "$map_file" ] && break
  sleep 0.2
done
[ -n "$map_file" ] || fail "E made no edit folder with a map under $work/data/karst/edits"
case "$map_file" in "$world"/*) fail "the edit folder is inside the game folder" ;; esac
# A block of cells painted with the lake's tile, saved as Tiled saves: a temporary file, a rename.
/usr/bin/python3 - "$map_file" <<'PYTHON'
import json, os, sys
path = sys.argv[1]
with open(path) as file:
    document = json.load(file)
cells = document["layers"][0]["data"]
water = cells[28 * 128 + 25]
for y in range(2, 10):
    for x in range(2, 14):
        cells[y * 128 + x] = water
temporary = os.path.join(os.path.dirname(path), ".map.tmj.saving")
with open(temporary, "w") as file:
    json.dump(document, file)
os.replace(temporary, path)
PYTHON
for _ in $(seq 100); do
  [ -f "$world/RGN01.GFF.orig" ] && break
  sleep 0.2
done
[ -f "$world/RGN01.GFF.orig" ] || fail "the save was not packed into RGN01.GFF (no RGN01.GFF.orig kept)"
cmp -s "$world/RGN01.GFF" "$world/RGN01.GFF.orig" && fail "RGN01.GFF was not changed by the save"
"$render" region "$world/RGN01.GFF" -o "$shots/edited-expected.png" 2>/dev/null
expect_map edited "$shots/edited-expected.png" "$map_at"
# The game folder gets the edited file and the kept original, and nothing else.
cp "$world/RGN01.GFF.orig" "$work/original.GFF"
(cd "$world" && rm RGN01.GFF && mv RGN01.GFF.orig RGN01.GFF)

step "Ctrl+Q quits with exit code 0"
xdotool key ctrl+q
status=0
wait "$workbench_pid" || status=$?
workbench_pid=
[ "$status" = 0 ] || fail "exit code $status after Ctrl+Q"
(cd "$world" && sha256sum -c --quiet "$work/sums-before") || fail "the workbench changed the world's files"

step "damaged folders open without a crash"
damaged=$work/damaged
mkdir -p "$damaged"
cp "$world"/RGN0*.GFF "$damaged/"
head -c 20000 "$world/RGN02.GFF" >"$damaged/RGN02.GFF"
echo "not a container" >"$damaged/RGN09.GFF"
mkdir "$damaged/RGN10.GFF"
start_workbench "$damaged"
for _ in $(seq 12); do
  xdotool key space
  sleep 0.3
done
for tab_x in 60 160 240; do
  xdotool mousemove $((WIDTH - 380 + tab_x)) $((map_y + 10)) click 1
  sleep 0.3
done
kill -0 "$workbench_pid" || { cat "$work/workbench.err" >&2; fail "the workbench ended on a damaged folder"; }
xdotool key ctrl+q
status=0
wait "$workbench_pid" || status=$?
workbench_pid=
[ "$status" = 0 ] || fail "exit code $status after Ctrl+Q on a damaged folder"

echo "PASS"
