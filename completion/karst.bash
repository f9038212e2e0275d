# Bash completion for karst-viewer, karst-render, karst-gff, karst-sampleworld and
# karst-workbench: their subcommands and options, GFF files and folders where a command takes
# them, the words an option takes, and the chunk tags of the file `karst-gff extract` reads.
# Installed once under each program's name, so bash-completion loads it for whichever is typed
# first.

# COMPREPLY: the words of $1 that begin with the word being completed.
_karst_words() {
  local IFS=$' \t\n'
  mapfile -t COMPREPLY < <(compgen -W "$1" -- "$cur")
}

# The chunk tags of the container $1, as `extract` takes them: trailing blanks dropped, tags with
# bytes that cannot be typed left out.
_karst_tags() {
  local file=${1/#\~/$HOME}
  [[ -f $file ]] || return
  "${words[0]}" info "$file" --json 2>/dev/null | grep -o '"tag":"[^"\\]*"' | sed 's/^"tag":"//; s/ *"$//' | sort -u
}

# Completes the word being completed as an argument of kind $1.
_karst_kind() {
  local IFS=$'\n'
  case $1 in
    gff)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.[gG][fF][fF]' -- "$cur")
      ;;
    dir)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      ;;
    file)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
    scale16) _karst_words "$(seq 1 16)" ;;
    scale8) _karst_words "$(seq 1 8)" ;;
    format) _karst_words "gpl pal act png" ;;
    tag) _karst_words "$(_karst_tags "${args[0]-}")" ;;
    *) COMPREPLY=() ;;
  esac
}

# One command's line from word $1 on. $2: its options; $3: those that take a value, each as
# OPTION:KIND; $4: the kinds of its positional arguments in order, the last one repeated when it
# ends in "...".
_karst_command() {
  local first=$1 options=$2 valued=" $3 " pair i word
  local -a kinds=() args=()
  read -ra kinds <<<"$4"
  for pair in $3; do
    if [[ $prev == "${pair%%:*}" ]]; then
      _karst_kind "${pair#*:}"
      return
    fi
  done
  if [[ $cur == -* ]]; then
    _karst_words "$options"
    return
  fi
  for ((i = first; i < cword; i++)); do
    word=${words[i]}
    if [[ $word == -?* ]]; then
      [[ $valued == *" $word:"* ]] && ((i++))
    else
      args+=("$word")
    fi
  done
  local count=${#args[@]} last=$((${#kinds[@]} - 1))
  if ((count <= last)); then
    _karst_kind "${kinds[count]}"
  elif ((last >= 0)) && [[ ${kinds[last]} == *... ]]; then
    _karst_kind "${kinds[last]%...}"
  else
    COMPREPLY=()
  fi
}

# Sets words, cword, cur and prev from bash's completion variables.
_karst_line() {
  words=("${COMP_WORDS[@]}")
  cword=$COMP_CWORD
  cur=${words[cword]}
  prev=${words[cword - 1]}
}

_karst_viewer() {
  local -a words
  local cword cur prev
  _karst_line
  _karst_command 1 "--window --scale --sample-world --help --version" "--scale:scale8" "gff"
}

_karst_sampleworld() {
  local -a words
  local cword cur prev
  _karst_line
  _karst_command 1 "--force --help --version" "" "dir"
}

_karst_workbench() {
  local -a words
  local cword cur prev
  _karst_line
  _karst_command 1 "--size --help --version" "--size:none" "gff"
}

_karst_render() {
  local -a words
  local cword cur prev
  _karst_line
  if ((cword == 1)); then
    _karst_words "region all frames atlas --help --version"
    return
  fi
  case ${words[1]} in
    region)
      _karst_command 2 "--objects --no-objects --view --scale -o --output --help" \
        "--objects:gff --view:none --scale:scale16 -o:file --output:file" "gff"
      ;;
    all)
      _karst_command 2 "--no-objects --scale -j --jobs -o --output --help" \
        "--scale:scale16 -j:scale16 --jobs:scale16 -o:dir --output:dir" "dir"
      ;;
    frames)
      _karst_command 2 "--palette --scale --sheet -o --output --help" \
        "--palette:gff --scale:scale16 -o:dir --output:dir" "gff"
      ;;
    atlas)
      _karst_command 2 "--no-objects -j --jobs -o --output --help" "-j:scale16 --jobs:scale16 -o:dir --output:dir" "dir"
      ;;
  esac
}

_karst_gff() {
  local -a words
  local cword cur prev
  _karst_line
  if ((cword == 1)); then
    _karst_words "info extract check entities find objects palette unpack pack --help --version"
    return
  fi
  case ${words[1]} in
    info) _karst_command 2 "--json --help" "" "gff..." ;;
    extract) _karst_command 2 "-o --output --help" "-o:file --output:file" "gff tag none" ;;
    check) _karst_command 2 "--json --help" "" "gff" ;;
    entities) _karst_command 2 "--objects --json --help" "--objects:gff" "gff" ;;
    find) _karst_command 2 "--object --bitmap --name --json --help" "--object:none --bitmap:none --name:none" "dir" ;;
    objects) _karst_command 2 "--json --help" "" "gff" ;;
    palette) _karst_command 2 "--format -o --output --help" "--format:format -o:file --output:file" "gff" ;;
    unpack) _karst_command 2 "--palette --objects --force --restore -o --output --help" "--palette:gff --objects:gff -o:dir --output:dir --restore:file" "gff" ;;
    pack) _karst_command 2 "--replace --overwrite-changed --nearest --transparent-colour --force --watch -o --output --help" "--transparent-colour:none -o:gff --output:gff" "dir" ;;
  esac
}

complete -F _karst_viewer karst-viewer
complete -F _karst_render karst-render
complete -F _karst_gff karst-gff
complete -F _karst_sampleworld karst-sampleworld
complete -F _karst_workbench karst-workbench
