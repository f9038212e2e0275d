#!/usr/bin/env bash
# Runs a Windows program under Debian's wine64, headless and quiet, in the build's own Wine
# prefix (build-windows/wine, or $WINEPREFIX): the cross-compiled tests' emulator and the Wine
# end-to-end test's launcher.
#   wine-run.sh PROGRAM.exe [ARG...]
#   wine-run.sh --wait     waits until the prefix's Wine session has ended
#   wine-run.sh --test PROGRAM.exe [ARG...]
#                          runs a GoogleTest program, once more only when Wine could not start
#                          it (it printed nothing of GoogleTest's); each such retry is said on
#                          standard error and counted in the file $KARST_WINE_RETRIES, when set
# The prefix is made on first use, once, under a lock, without the Mono and Gecko installers
# (nothing of ours needs .NET or a browser engine).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build-windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
wine=${KARST_WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
wineserver=$(command -v wineserver || echo "$(dirname "$wine")/wineserver")

# A session keeps the display it started with: a window program that should show its windows
# on a new screen waits until the session of programs run without one has ended.
if [ "${1:-}" = --wait ]; then
  exec "$wineserver" -w
fi

if [ ! -f "$WINEPREFIX/.karst-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.karst-ready" ]; then
      # No screen is needed to make the prefix; a DISPLAY of the caller's is not touched.
      env -u DISPLAY "$wine" wineboot -i >/dev/null 2>&1
      "$wineserver" -w 2>/dev/null || true
      touch "$WINEPREFIX/.karst-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

if [ "${1:-}" = --test ]; then
  shift
  output=$(mktemp "${TMPDIR:-/tmp}/karst-wine-test-XXXXXX")
  trap 'rm -f "$output"' EXIT
  for attempt in 1 2; do
    status=0
    "$wine" "$@" >"$output" 2>&1 || status=$?
    cat "$output"
    # A program that ran says so first ("Running main() from ..."): its failures stand.
    if [ "$status" -eq 0 ] || grep -q '^Running main() from\|^\[==========\]' "$output" || [ "$attempt" -eq 2 ]; then
      exit "$status"
    fi
    echo "wine-run: $(basename "$1") did not start under Wine (exit status $status); starting it once more" >&2
    if [ -n "${KARST_WINE_RETRIES:-}" ]; then
      echo "$(basename "$1")" >>"$KARST_WINE_RETRIES"
    fi
  done
fi

exec "$wine" "$@"
