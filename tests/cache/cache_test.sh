#!/usr/bin/env bash
# The shared cache's folders (scripts/cache-lib.sh) on a small stand-in for the Windows
# dependencies: a builder that writes a "library" and a "header", counting its runs. A fill that
# was killed, a library cut short, a file added, a failing builder and a changed key each lead to
# a new fill and a folder whose files are whole; two fills at once build once.
#   cache_test.sh CACHE_LIB
set -euo pipefail

cache_lib=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/karst-cache-test-XXXXXX")
trap 'rm -rf "$work"' EXIT
export KARST_CACHE=$work/cache
unset KARST_NO_CACHE
# shellcheck source=scripts/cache-lib.sh
source "$cache_lib"

# The builder: 64 KiB of library and a header, written slowly enough to be killed halfway when
# STANDIN_PAUSE names a file to create halfway (the test then kills it there).
cat >"$work/builder.sh" <<'BUILDER'
#!/usr/bin/env bash
set -euo pipefail
folder=$1
echo run >>"$STANDIN_RUNS"
mkdir -p "$folder/prefix/lib" "$folder/prefix/include"
head -c 32768 /dev/zero >"$folder/prefix/lib/libstandin.a"
if [ -n "${STANDIN_PAUSE:-}" ]; then
  touch "$STANDIN_PAUSE"
  sleep 60
fi
if [ -n "${STANDIN_FAIL:-}" ]; then
  exit 3
fi
head -c 32768 /dev/zero >>"$folder/prefix/lib/libstandin.a"
echo '#define STANDIN 1' >"$folder/prefix/include/standin.h"
ln -s ../include "$folder/prefix/headers"
BUILDER
export STANDIN_RUNS=$work/runs
: >"$STANDIN_RUNS"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

runs() {
  wc -l <"$STANDIN_RUNS"
}

# What a build that uses the folder needs: the whole library and the header.
check_whole() {
  local folder=$1
  [ "$(stat -c %s "$folder/prefix/lib/libstandin.a")" -eq 65536 ] || fail "$2: the library is not whole"
  grep -q STANDIN "$folder/prefix/include/standin.h" || fail "$2: the header is missing"
}

fill() {
  cached_folder standin "$1" bash "$work/builder.sh" 2>>"$work/messages"
}

# A first fill builds; a second uses what the first built.
folder=$(fill "key one") || fail "the first fill failed"
check_whole "$folder" "first fill"
[ "$(runs)" -eq 1 ] || fail "the first fill ran the builder $(runs) times"
[ "$(fill "key one")" = "$folder" ] || fail "the second fill gave another folder"
[ "$(runs)" -eq 1 ] || fail "the second fill built again"
echo "   a kept folder is used again"

# A fill killed halfway leaves no seal: the next run builds again.
rm -rf "$folder"
STANDIN_PAUSE=$work/halfway setsid bash -c "source '$cache_lib'; cached_folder standin 'key one' bash '$work/builder.sh'" \
  >/dev/null 2>&1 &
killed=$!
for _ in $(seq 100); do
  [ -f "$work/halfway" ] && break
  sleep 0.1
done
[ -f "$work/halfway" ] || fail "the builder did not reach its halfway point"
kill -KILL -- -"$killed"
wait "$killed" 2>/dev/null || true
[ -e "$folder/.seal" ] && fail "a killed fill was sealed"
before=$(runs)
[ "$(fill "key one")" = "$folder" ] || fail "the fill after a killed one gave another folder"
check_whole "$folder" "after a killed fill"
[ "$(runs)" -eq $((before + 1)) ] || fail "a killed fill was not built again"
grep -q "left unfinished" "$work/messages" || fail "no word of the unfinished fill"
echo "   a killed fill is built again"

# A library cut short, or a file that was not there when the folder was sealed: built again.
for damage in truncate add; do
  if [ "$damage" = truncate ]; then
    truncate -s 1000 "$folder/prefix/lib/libstandin.a"
  else
    echo stray >"$folder/prefix/lib/stray.o"
  fi
  before=$(runs)
  [ "$(fill "key one")" = "$folder" ] || fail "$damage: the fill gave another folder"
  check_whole "$folder" "$damage"
  [ -e "$folder/prefix/lib/stray.o" ] && fail "$damage: a stray file outlived the new fill"
  [ "$(runs)" -eq $((before + 1)) ] || fail "$damage: the damaged folder was used"
done
grep -q "differs from its seal" "$work/messages" || fail "no word of the damaged folder"
echo "   a folder cut short or changed is built again"

# A builder that fails leaves nothing sealed and fails the fill; the next fill builds again.
rm -rf "$folder"
if STANDIN_FAIL=1 fill "key one" >/dev/null; then
  fail "a failing builder made a folder"
fi
[ -e "$folder/.seal" ] && fail "a failed fill was sealed"
before=$(runs)
fill "key one" >/dev/null || fail "the fill after a failed one failed"
check_whole "$folder" "after a failed fill"
[ "$(runs)" -eq $((before + 1)) ] || fail "a failed fill was not built again"
echo "   a failed fill is built again"

# Another key is another folder, built once; the first stays as it was.
before=$(runs)
other=$(fill "key two") || fail "the fill of a new key failed"
[ "$other" != "$folder" ] || fail "a new key gave the same folder"
check_whole "$other" "new key"
check_whole "$folder" "the first key after a new one"
[ "$(runs)" -eq $((before + 1)) ] || fail "a new key was not built"
echo "   a changed key builds a folder of its own"

# Two fills at once of a key not yet built: one builds, the other waits for it and uses it.
before=$(runs)
fill "key three" >"$work/first" &
first=$!
fill "key three" >"$work/second" || fail "the second of two fills at once failed"
wait "$first" || fail "the first of two fills at once failed"
cmp -s "$work/first" "$work/second" || fail "two fills at once gave different folders"
check_whole "$(cat "$work/first")" "two fills at once"
[ "$(runs)" -eq $((before + 1)) ] || fail "two fills at once built $(($(runs) - before)) times"
echo "   two fills at once build once"
echo PASS
