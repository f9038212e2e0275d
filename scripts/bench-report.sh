#!/usr/bin/env bash
# Runs every benchmark program of a Release build tree with repetitions and prints the medians,
# the ratios between figures of one run and the goals they are held to, and measures the
# viewer's CPU use in an Xvfb screen. The single-threaded figures are taken pinned to one core
# (KARST_BENCH_CPU, else the last one this shell may use); the atlas's two-job figure is not.
#   scripts/bench-report.sh BUILD_DIR [REPETITIONS]
set -euo pipefail

build_dir=${1:?usage: bench-report.sh BUILD_DIR [REPETITIONS]}
repetitions=${2:-3}
out_dir="$build_dir/bench/results"
mkdir -p "$out_dir"

allowed=$(taskset -pc $$ | sed 's/.*: *//')
cpu=${KARST_BENCH_CPU:-$(echo "$allowed" | tr ',' '\n' | tail -1 | sed 's/.*-//')}
export KARST_BENCH_CPU=$cpu

for program in frame decode zone map; do
  echo "== karst-bench-$program (pinned to CPU $cpu) ==" >&2
  taskset -c "$cpu" "$build_dir/bench/karst-bench-$program" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_min_time=0.5 \
    --benchmark_format=console --benchmark_out_format=json \
    --benchmark_out="$out_dir/$program.json" >&2
done

# The workbench opens a folder with several jobs beside its window, so it runs on every core.
echo "== karst-bench-workbench ==" >&2
SDL_VIDEODRIVER=dummy "$build_dir/bench/karst-bench-workbench" --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true --benchmark_format=console --benchmark_out_format=json \
  --benchmark_out="$out_dir/workbench.json" >&2

echo "== karst-render atlas ==" >&2
"$(dirname "$0")/atlas-bench.sh" "$build_dir/bin/karst-render" "$build_dir/bin/karst-sampleworld" \
  "$out_dir/atlas.json" "$repetitions"

echo "== karst-gff unpack and pack ==" >&2
"$(dirname "$0")/roundtrip-bench.sh" "$build_dir/bin/karst-gff" "$build_dir/bin/karst-render" \
  "$build_dir/bench/karst-bench-library" "$out_dir/roundtrip.json" "$repetitions"

echo "== the viewer's CPU under Xvfb ==" >&2
"$(dirname "$0")/viewer-cpu.sh" "$build_dir/bin/karst-viewer" "$build_dir/bin/karst-sampleworld" \
  "$out_dir/viewer-cpu.json" >&2

model=$(sed -n 's/^model name[[:space:]]*: *//p' /proc/cpuinfo | head -1)
flags=$(sed -n 's/^flags[[:space:]]*: *//p' /proc/cpuinfo | head -1)
vector_flags=$(for flag in sse2 avx2 avx512f avx512bw avx512vbmi; do
  case " $flags " in *" $flag "*) printf '%s ' "$flag" ;; esac
done)
echo
echo "Machine: ${model:-unknown processor}, $(nproc) cores (flags: ${vector_flags% })"
echo "Command: make bench ($repetitions repetitions, medians of CPU time; the atlas by the wall clock;"
echo "single-threaded figures pinned to CPU $cpu, the atlas's two jobs unpinned)"
echo "Load: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min load average when the report was printed)"
echo
"$build_dir/bench/karst-bench-report" "$out_dir/frame.json" "$out_dir/decode.json" "$out_dir/zone.json" \
  "$out_dir/atlas.json" "$out_dir/roundtrip.json" "$out_dir/viewer-cpu.json" "$out_dir/map.json" \
  "$out_dir/workbench.json"
