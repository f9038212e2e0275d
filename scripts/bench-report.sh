#!/usr/bin/env bash
# Runs every benchmark program of a Release build tree with repetitions and prints the medians,
# the ratios between figures of one run and the goals they are held to, and measures the
# viewer's CPU use in an Xvfb screen.
#   scripts/bench-report.sh BUILD_DIR [REPETITIONS]
set -euo pipefail

build_dir=${1:?usage: bench-report.sh BUILD_DIR [REPETITIONS]}
repetitions=${2:-3}
out_dir="$build_dir/bench/results"
mkdir -p "$out_dir"

for program in frame decode zone; do
  echo "== karst-bench-$program ==" >&2
  "$build_dir/bench/karst-bench-$program" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_min_time=0.5 \
    --benchmark_format=console --benchmark_out_format=json \
    --benchmark_out="$out_dir/$program.json" >&2
done

echo "== karst-render atlas ==" >&2
"$(dirname "$0")/atlas-bench.sh" "$build_dir/bin/karst-render" "$build_dir/bin/karst-sampleworld" \
  "$out_dir/atlas.json" "$repetitions"

echo "== the viewer's CPU under Xvfb ==" >&2
"$(dirname "$0")/viewer-cpu.sh" "$build_dir/bin/karst-viewer" "$build_dir/bin/karst-sampleworld" \
  "$out_dir/viewer-cpu.json" >&2

echo
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores"
echo "Command: make bench ($repetitions repetitions, medians of CPU time; the atlas by the wall clock)"
echo
"$build_dir/bench/karst-bench-report" "$out_dir/frame.json" "$out_dir/decode.json" "$out_dir/zone.json" \
  "$out_dir/atlas.json" "$out_dir/viewer-cpu.json"
