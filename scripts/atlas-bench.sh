#!/usr/bin/env bash
# How long `karst-render atlas` takes over the sample world and over a folder of 40 regions made
# from it, with one job and with two: the median wall-clock time of REPETITIONS runs each, written
# to OUT in the benchmark programs' JSON form (milliseconds) for the report. With KARST_BENCH_CPU
# set, the one-job runs are pinned to that core; the two-job runs never are.
#
#   atlas-bench.sh KARST_RENDER KARST_SAMPLEWORLD OUT [REPETITIONS]
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 KARST_RENDER KARST_SAMPLEWORLD OUT [REPETITIONS]" >&2
  exit 2
fi
render=$1
sampleworld=$2
out=$3
repetitions=${4:-3}

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-atlas-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

"$sampleworld" "$work/sample" >/dev/null
mkdir "$work/forty"
cp "$work/sample/OBJEX.GFF" "$work/forty/"
for i in $(seq 1 40); do
  cp "$work/sample/RGN0$(((i - 1) % 4 + 1)).GFF" "$work/forty/$(printf 'RGN%02d.GFF' "$i")"
done

# The median of REPETITIONS runs, in milliseconds.
median_ms() {
  local times=()
  for _ in $(seq 1 "$repetitions"); do
    rm -rf "$work/site"
    local start end
    start=$(date +%s%N)
    if [ "$2" = 1 ] && [ -n "${KARST_BENCH_CPU:-}" ]; then
      taskset -c "$KARST_BENCH_CPU" "$render" atlas "$1" -o "$work/site" -j 1 >/dev/null
    else
      "$render" atlas "$1" -o "$work/site" -j "$2" >/dev/null
    fi
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((repetitions + 1) / 2))p" | awk '{ printf "%.3f", $1 / 1000 }'
}

entries=()
for folder in sample forty; do
  for jobs in 1 2; do
    name="BM_Atlas$([ "$folder" = sample ] && echo Sample || echo Forty)/jobs:$jobs"
    ms=$(median_ms "$work/$folder" "$jobs")
    echo "$name: $ms ms" >&2
    entries+=("{\"name\":\"$name\",\"run_type\":\"iteration\",\"iterations\":1,\"real_time\":$ms,\"cpu_time\":$ms,\"time_unit\":\"ms\"}")
  done
done
(IFS=,; echo "{\"benchmarks\":[${entries[*]}]}") >"$out"
