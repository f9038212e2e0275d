#!/usr/bin/env bash
# A fuzzing campaign that can be stopped and resumed: runs `make fuzz RUNS=CHUNK` for one target
# again and again on its kept corpus until the executions of the finished runs add up to TOTAL.
# Each finished run is appended to build-asan/campaign/TARGET.log (time, executions, total); a
# run stopped before its end counts nothing. A finding stops the campaign (the input is in
# build-asan/artifacts/) with the fuzzer's exit code.
#
#   scripts/fuzz-campaign.sh TARGET TOTAL [CHUNK]      e.g. fuzz_compose 10000000 100000
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 TARGET TOTAL [CHUNK]" >&2
  exit 2
fi
target=$1
total=$2
chunk=${3:-1000000}
cd "$(dirname "$0")/.."
log=build-asan/campaign/$target.log
mkdir -p build-asan/campaign

done_so_far() {
  if [ -f "$log" ]; then awk '{ sum += $2 } END { print sum + 0 }' "$log"; else echo 0; fi
}

while [ "$(done_so_far)" -lt "$total" ]; do
  output=$(mktemp)
  status=0
  make --no-print-directory fuzz RUNS="$chunk" FUZZ_TARGETS="$target" >"$output" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$output" >&2
    rm -f "$output"
    echo "$target: the run ended with exit code $status after $(done_so_far) executions" >&2
    exit "$status"
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$output" | tail -n 1)
  rm -f "$output"
  echo "$(date -u +%Y-%m-%dT%H:%M:%SZ) ${executions:-0} $(($(done_so_far) + ${executions:-0}))" >>"$log"
  echo "$target: $(done_so_far) of $total executions"
done
