#!/usr/bin/env bash
# The shell completion, sourced into bash: typical partial command lines of every program complete
# to exactly the words expected, in a folder holding the sample world and a few other files.
#
#   completion_test.sh COMPLETION_FILE BIN_DIR
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 COMPLETION_FILE BIN_DIR" >&2
  exit 2
fi
completion=$(realpath "$1")
export PATH=$(realpath "$2"):$PATH

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-completion-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
karst-sampleworld game >/dev/null || exit 1
mkdir pictures
touch notes.txt lower.gff
# shellcheck source=completion/karst.bash
source "$completion"

# Each case: the command line up to the cursor (a trailing blank starts a new word), then after
# a tab the completions expected, sorted, separated by blanks.
cases=(
  $'karst-viewer \tgame/ lower.gff pictures/'
  $'karst-viewer --w\t--window'
  $'karst-viewer --window --scale \t1 2 3 4 5 6 7 8'
  $'karst-viewer game/RGN0\tgame/RGN01.GFF game/RGN02.GFF game/RGN03.GFF game/RGN04.GFF'
  $'karst-sampleworld \tgame/ pictures/'
  $'karst-workbench \tgame/ lower.gff pictures/'
  $'karst-workbench game/O\tgame/OBJEX.GFF'
  $'karst-workbench --\t--help --size --version'
  $'karst-workbench --size \t'
  $'karst-workbench --size 1600x900 g\tgame/'
  $'karst-workbench game \t'
  $'karst-sampleworld --f\t--force'
  $'karst-render \t--help --version all atlas frames region'
  $'karst-render re\tregion'
  $'karst-render region game/O\tgame/OBJEX.GFF'
  $'karst-render region game/RGN01.GFF --objects game/OB\tgame/OBJEX.GFF'
  $'karst-render region game/RGN01.GFF --sc\t--scale'
  $'karst-render region game/RGN01.GFF --scale 1\t1 10 11 12 13 14 15 16'
  $'karst-render region game/RGN01.GFF -o n\tnotes.txt'
  $'karst-render region game/RGN01.GFF -o - \t'
  $'karst-render all \tgame/ pictures/'
  $'karst-render all game -o p\tpictures/'
  $'karst-render all game -j 2 --no\t--no-objects'
  $'karst-render frames game/OBJEX.GFF --\t--help --output --palette --scale --sheet'
  $'karst-render atlas game -o \tgame/ pictures/'
  $'karst-gff \t--help --version check entities extract find info objects pack palette unpack'
  $'karst-gff info game/RGN01.GFF l\tlower.gff'
  $'karst-gff info --j\t--json'
  $'karst-gff extract game/RGN01.GFF \tETAB GFFI GMAP MAP PAL RNME TILE'
  $'karst-gff extract game/RGN01.GFF G\tGFFI GMAP'
  $'karst-gff extract game/OBJEX.GFF B\tBMP'
  $'karst-gff extract game/RGN01.GFF PAL \t'
  $'karst-gff extract game/RGN01.GFF PAL 3 -o \tgame/ lower.gff notes.txt pictures/'
  $'karst-gff check \tgame/ lower.gff pictures/'
  $'karst-gff entities game/RGN01.GFF --objects game/O\tgame/OBJEX.GFF'
  $'karst-gff find \tgame/ pictures/'
  $'karst-gff find game --\t--bitmap --help --json --name --object'
  $'karst-gff objects game/OB\tgame/OBJEX.GFF'
  $'karst-gff palette game/RGN01.GFF --format \tact gpl pal png'
  $'karst-gff palette game/RGN01.GFF --format p\tpal png'
  $'karst-gff pack game --	--force --help --nearest --output --overwrite-changed --replace --transparent-colour --watch'
  $'karst-gff pack game --transparent-colour 	'
  $'karst-gff unpack game/OBJEX.GFF --palette game/RGN01\tgame/RGN01.GFF'
  $'karst-gff unpack game/RGN01.GFF --objects game/OB\tgame/OBJEX.GFF'
  $'karst-gff unpack game/RGN01.GFF --\t--force --help --objects --output --palette --restore'
  $'karst-gff unpack game/RGN01.GFF -o game --restore n\tnotes.txt'
)

failures=0
checked=0
for entry in "${cases[@]}"; do
  line=${entry%%$'\t'*}
  expected=${entry#*$'\t'}
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  function=$(complete -p "${COMP_WORDS[0]}" | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
  COMPREPLY=()
  "$function"
  # Folders are marked as bash shows them with the filenames option.
  got=()
  for word in "${COMPREPLY[@]}"; do
    if [[ -d $word && $word != */ ]]; then got+=("$word/"); else got+=("$word"); fi
  done
  actual=$(printf '%s\n' "${got[@]}" | LC_ALL=C sort | paste -sd ' ')
  if [ "$actual" != "$expected" ]; then
    echo "FAIL: '$line' completes to '$actual', expected '$expected'" >&2
    failures=$((failures + 1))
  fi
  checked=$((checked + 1))
done
# An error inside a completion function ends the loop early, not the script.
[ "$checked" -eq ${#cases[@]} ] || { echo "FAIL: only $checked of ${#cases[@]} command lines completed" >&2; exit 1; }
[ "$failures" -eq 0 ] || exit 1
echo "PASS: ${#cases[@]} command lines"
