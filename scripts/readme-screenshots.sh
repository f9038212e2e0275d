#!/usr/bin/env bash
# The README's two pictures, taken of the real programs on the sample world in a private Xvfb
# screen, so that they stay true as the programs change:
#   OUT_DIR/workbench.png   karst-workbench --size 1280x800 on the sample world
#   OUT_DIR/viewer.png      karst-viewer --window on the same world
#
#   readme-screenshots.sh BUILD_BIN OUT_DIR
#
# BUILD_BIN holds the built programs (build/bin). Each window is taken once it has settled: two
# screenshots in a row, a second apart, the same (within a generous limit, as the workbench
# loads its thumbnails and runs its check beside the window). The programs keep their settings
# in a configuration folder of this run's own, so neither the person's settings change the
# pictures nor the run the person's settings. Quiet when it works; on a failure one line says
# what failed, with the programs' own words after it, and the scratch folder is kept.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_BIN OUT_DIR" >&2
  exit 2
fi
bin=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
for program in karst-workbench karst-viewer karst-sampleworld; do
  [ -x "$bin/$program" ] || { echo "readme-screenshots: FAILED: no $bin/$program" >&2; exit 1; }
done
for tool in Xvfb xdotool xwd convert; do
  command -v "$tool" >/dev/null || { echo "readme-screenshots: FAILED: $tool is not installed (scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-screenshots-XXXXXX")
world=$work/world
shots=$work/shots
mkdir -p "$shots" "$work/home" "$work/config" "$work/data"
# shellcheck source=scripts/viewer-session.sh
source "$(dirname "$0")/viewer-session.sh"
workbench_pid=
stop_workbench() {
  if [ -n "$workbench_pid" ]; then
    end_process "$workbench_pid"
    workbench_pid=
  fi
}
# The session's own clean-up after ours, on every way out.
trap 'stop_workbench; session_cleanup' EXIT

fail() {
  echo "readme-screenshots: FAILED: $*" >&2
  local log
  for log in "$work/workbench.err" "$work/viewer.err"; do
    [ -s "$log" ] && sed "s|^|   $(basename "$log" .err): |" "$log" | tail -n 20 >&2
  done
  KEEP_E2E=1
  exit 1
}

# The programs run with the run's own home and configuration folders.
private=(env HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data")

# The window whose class is $1 (SDL names the class after the program), waiting up to $2 seconds.
find_window() {
  timeout "$2" xdotool search --sync --onlyvisible --class "^$1\$" 2>/dev/null | tail -n 1
}

# Waits up to $2 seconds for two screenshots in a row of the window of class $1, a second apart,
# to be the same; writes the last one to $3 (PNG). The window is looked for again before each
# one, as SDL may make its window anew while it starts.
settled_picture() {
  local class=$1 limit=$2 target=$3 previous='' current window
  for _ in $(seq "$limit"); do
    window=$(find_window "$class" 5) || window=
    if [ -z "$window" ] || ! xwd -id "$window" -silent >"$shots/window.xwd" 2>/dev/null; then
      previous=
      sleep 1
      continue
    fi
    current=$(convert "xwd:$shots/window.xwd" -depth 8 rgb:- | sha256sum | cut -d' ' -f1)
    if [ "$current" = "$previous" ]; then
      convert "xwd:$shots/window.xwd" -strip "$target"
      return 0
    fi
    previous=$current
    sleep 1
  done
  return 1
}

# The picture goes to its place only when whole: written beside it, then renamed.
keep_picture() {
  if ! cp "$1" "$out/.$2.tmp" || ! mv -f "$out/.$2.tmp" "$out/$2"; then
    rm -f "$out/.$2.tmp"
    fail "cannot write $out/$2"
  fi
}

"$bin/karst-sampleworld" "$world" >"$work/sampleworld.log" 2>&1 || fail "karst-sampleworld $world: $(cat "$work/sampleworld.log")"
start_xvfb 1920x1080 || fail "no Xvfb screen"

env -u SDL_VIDEODRIVER "${private[@]}" "$bin/karst-workbench" --size 1280x800 "$world" \
  >"$work/workbench.out" 2>"$work/workbench.err" &
workbench_pid=$!
[ -n "$(find_window karst-workbench 30)" ] || fail "the workbench's window did not appear within 30 s"
kill -0 "$workbench_pid" 2>/dev/null || fail "the workbench ended at start"
# The pointer away from the window, so no tooltip or hover shows in the picture.
xdotool mousemove 1900 1060
settled_picture karst-workbench 90 "$shots/workbench.png" || fail "the workbench's window did not settle within 90 s"
kill -0 "$workbench_pid" 2>/dev/null || fail "the workbench ended before its picture was taken"
size=$(identify -format '%wx%h' "$shots/workbench.png")
[ "$size" = 1280x800 ] || fail "the workbench's window is $size, not 1280x800"
keep_picture "$shots/workbench.png" workbench.png
stop_workbench

viewer_program=karst-viewer
viewer_runner=("${private[@]}")
start_viewer "$bin" --window "$world" || fail "the viewer's window did not appear"
xdotool mousemove 1900 1060
settled_picture karst-viewer 30 "$shots/viewer.png" || fail "the viewer's window did not settle within 30 s"
kill -0 "$viewer_pid" 2>/dev/null || fail "the viewer ended before its picture was taken"
keep_picture "$shots/viewer.png" viewer.png
stop_xvfb
