# shellcheck shell=bash
# Folders kept between runs and shared by every clone on the machine, each filed under a key
# that names everything that went into it: a new clone finds what an earlier one built, and any
# change to what goes in builds anew. Sourced by the scripts that fill such folders.
#
# The root is $KARST_CACHE, or ~/.cache/karst. With KARST_NO_CACHE=1 nothing is shared: the
# folders are built inside the clone (build-nocache/), as every clone's own.
#
#   cached_folder NAME KEY_TEXT BUILDER [ARG...]
#     Prints the path of a complete folder for KEY_TEXT. The folder is <root>/NAME/<key>, <key>
#     being the start of KEY_TEXT's SHA-256. It is used only when its seal is there and still
#     describes every file in it; a folder without a seal (a fill that was killed) or whose files
#     differ from the seal (a file cut short, changed, added or missing) is removed and filled
#     again: BUILDER ARG... FOLDER runs with the empty folder, then the folder is sealed. One
#     clone fills a folder while the others wait on its lock. Everything but the path goes to
#     standard error.

karst_repository=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

karst_cache_root() {
  if [ "${KARST_NO_CACHE:-}" = 1 ]; then
    echo "$karst_repository/build-nocache"
  else
    echo "${KARST_CACHE:-${HOME:?}/.cache/karst}"
  fi
}

# Every file with its SHA-256 and every link with its target, sorted, the seal itself aside.
describe_folder() {
  (
    cd "$1"
    find . -type f ! -name .seal ! -name .seal.new -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum --
    find . -type l -printf '%p -> %l\n' | LC_ALL=C sort
  )
}

cached_folder() {
  local name=$1 key_text=$2
  shift 2
  local root key folder lock
  root=$(karst_cache_root)/$name
  mkdir -p "$root" || return 1
  root=$(cd "$root" && pwd) || return 1
  key=$(printf '%s\n' "$key_text" | sha256sum | cut -c1-16)
  folder=$root/$key
  # Every step is checked by hand: the callers take the path from a command substitution,
  # where set -e does not hold. The lock goes with the process, however it ends.
  exec {lock}>"$folder.lock" || return 1
  flock "$lock" || return 1
  if [ -f "$folder/.seal" ]; then
    if describe_folder "$folder" | cmp -s - "$folder/.seal"; then
      touch "$folder/.seal"
      exec {lock}>&-
      echo "$folder"
      return 0
    fi
    echo "cache: $name/$key differs from its seal; building it again" >&2
  elif [ -e "$folder" ]; then
    echo "cache: $name/$key was left unfinished; building it again" >&2
  else
    echo "cache: $name/$key is not there yet; building it" >&2
  fi
  if ! rm -rf "$folder" || ! mkdir -p "$folder" || ! printf '%s\n' "$key_text" >"$folder/key.txt"; then
    exec {lock}>&-
    return 1
  fi
  # The builder is a program of its own (a script with set -e of its own), never a function.
  if ! "$@" "$folder" >&2 || ! describe_folder "$folder" >"$folder/.seal.new" ||
    ! mv "$folder/.seal.new" "$folder/.seal"; then
    echo "cache: filling $name/$key failed" >&2
    exec {lock}>&-
    return 1
  fi
  exec {lock}>&-
  echo "$folder"
}
