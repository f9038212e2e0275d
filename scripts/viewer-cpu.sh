#!/usr/bin/env bash
# The CPU the real viewer uses in a 640 x 480 Xvfb screen over the sample world: 10 seconds at
# rest, then 10 seconds of edge scrolling (the mouse resting at the right edge, then the left,
# two seconds each, so the view keeps moving at the display's pace). Writes the figures as
# percent of one core to OUT (JSON) and prints them.
#
#   viewer-cpu.sh KARST_VIEWER KARST_SAMPLEWORLD OUT
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 KARST_VIEWER KARST_SAMPLEWORLD OUT" >&2
  exit 2
fi
viewer_binary=$1
sampleworld=$2
out=$3
seconds=10

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-cpu-XXXXXX")
# shellcheck source=scripts/viewer-session.sh
source "$(dirname "$0")/viewer-session.sh"

mkdir -p "$work/world"
cp "$viewer_binary" "$work/world/karst-viewer"
"$sampleworld" "$work/world" >/dev/null
start_xvfb
start_viewer "$work/world"
sleep 1

clock_ticks=$(getconf CLK_TCK)
percent_of_core() { awk -v used="$1" -v ticks="$clock_ticks" -v seconds="$seconds" \
  'BEGIN { printf "%.2f", 100 * used / (ticks * seconds) }'; }

before=$(viewer_ticks)
sleep "$seconds"
at_rest=$(percent_of_core $(($(viewer_ticks) - before)))

before=$(viewer_ticks)
for phase in $(seq $((seconds / 2))); do
  if [ $((phase % 2)) -eq 1 ]; then xdotool mousemove 639 240; else xdotool mousemove 0 240; fi
  sleep 2
done
xdotool mousemove 320 240
edge_scrolling=$(percent_of_core $(($(viewer_ticks) - before)))

xdotool key Escape
printf '{ "seconds": %d, "at_rest_percent": %s, "edge_scrolling_percent": %s }\n' \
  "$seconds" "$at_rest" "$edge_scrolling" | tee "$out"
