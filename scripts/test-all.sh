#!/usr/bin/env bash
# make test: every check of the project, stage by stage, ending with the time each stage took
# (also when a stage fails: the table then ends with the stage that failed).
#   packages          scripts/install-deps.sh: the Debian packages that are missing
#   format            clang-format on every C++ file
#   release build     GCC, optimised (build/)
#   sanitizer build   clang with ASan + UBSan and the fuzzers' instrumentation (build-asan/)
#   Windows deps      the libraries of the Windows build, from the shared cache or built
#   Windows build     mingw-w64 (build-windows/), its DLL check and its zip
#   release tests, sanitizer tests, fuzz runs, Wine tests, Wine end to end
# Make variables and the environment pass through: JOBS, KARST_CACHE, KARST_NO_CACHE.
set -euo pipefail
cd "$(dirname "$0")/.."

names=()
seconds=()
failed=

clock() {
  printf '%d:%02d' $(($1 / 60)) $(($1 % 60))
}

report() {
  local status=$? i total=0
  echo
  echo "== time by stage =="
  for i in "${!names[@]}"; do
    printf '   %-18s %7s\n' "${names[$i]}" "$(clock "${seconds[$i]}")"
    total=$((total + seconds[i]))
  done
  printf '   %-18s %7s\n' "total" "$(clock "$total")"
  if [ -n "$failed" ]; then
    echo "FAILED: $failed"
  fi
  exit "$status"
}
trap report EXIT

# Every stage is a program of its own (make or a script), so the test of its status below does
# not turn off set -e inside it.
stage() {
  local name=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  names+=("$name")
  seconds+=($((SECONDS - start)))
  if [ "$status" -ne 0 ]; then
    failed=$name
    exit "$status"
  fi
}

run_make() {
  make --no-print-directory "$@"
}

stage "packages" bash scripts/install-deps.sh
stage "format" run_make format-check
stage "release build" run_make build
stage "sanitizer build" run_make build-asan
stage "Windows deps" run_make windows-deps
stage "Windows build" run_make windows
stage "release tests" run_make test-release
stage "sanitizer tests" run_make test-asan
stage "fuzz runs" run_make fuzz-brief
stage "Wine tests" run_make test-windows-units
stage "Wine end to end" run_make test-windows-e2e
