#!/usr/bin/env bash
# How long `karst-gff unpack` and `pack` take on a generated object library of more than 30 MB,
# beside the floors they are held to: `karst-render frames` of the same library, and `cp -r` of
# the unpack folder plus `cp` of the library; and `unpack` of a sample-world region with its map
# and tilesets (the library beside it) beside `karst-render region` of it. The median wall-clock time of REPETITIONS runs each,
# written to OUT in the benchmark programs' JSON form (milliseconds) for the report. With
# KARST_BENCH_CPU set, every run is pinned to that core.
#
#   roundtrip-bench.sh KARST_GFF KARST_RENDER KARST_BENCH_LIBRARY OUT [REPETITIONS]
set -euo pipefail

if [ $# -lt 4 ]; then
  echo "usage: $0 KARST_GFF KARST_RENDER KARST_BENCH_LIBRARY OUT [REPETITIONS]" >&2
  exit 2
fi
gff=$1
render=$2
library=$3
out=$4
repetitions=${5:-3}

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-roundtrip-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$library" "$work/OBJEX.GFF"
"$(dirname "$gff")/karst-sampleworld" "$work/sample" >/dev/null
"$gff" unpack "$work/OBJEX.GFF" -o "$work/unpacked" >/dev/null

pin=()
if [ -n "${KARST_BENCH_CPU:-}" ]; then
  pin=(taskset -c "$KARST_BENCH_CPU")
fi

# The median of REPETITIONS runs of the command, in milliseconds; `$work/out*` is removed before each.
median_ms() {
  local times=()
  for _ in $(seq 1 "$repetitions"); do
    rm -rf "$work"/out*
    sync
    local start end
    start=$(date +%s%N)
    "${pin[@]}" "$@" >/dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((repetitions + 1) / 2))p" | awk '{ printf "%.3f", $1 / 1000 }'
}

entries=()
add() {
  echo "$1: $2 ms" >&2
  entries+=("{\"name\":\"$1\",\"run_type\":\"iteration\",\"iterations\":1,\"real_time\":$2,\"cpu_time\":$2,\"time_unit\":\"ms\"}")
}
add BM_Unpack "$(median_ms "$gff" unpack "$work/OBJEX.GFF" -o "$work/out-unpacked")"
add BM_FramesOfLibrary "$(median_ms "$render" frames "$work/OBJEX.GFF" -o "$work/out-frames")"
add BM_PackUnchanged "$(median_ms "$gff" pack "$work/unpacked" -o "$work/out.GFF")"
add BM_CopyUnpackFolder "$(median_ms bash -c 'cp -r "$1/unpacked" "$1/out-folder" && cp "$1/OBJEX.GFF" "$1/out.GFF"' - "$work")"
cmp -s "$work/OBJEX.GFF" "$work/out.GFF" || { echo "roundtrip-bench: the copy is not the library" >&2; exit 1; }
(IFS=,; echo "{\"benchmarks\":[${entries[*]}]}") >"$out"
