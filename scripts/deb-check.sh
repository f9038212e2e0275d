#!/usr/bin/env bash
# The Debian package as apt users get it, after `make test` in CI (.ci/run). `make deb` builds it
# when build-deb/ holds none.
#
#   deb-check.sh                  the checks below
#   deb-check.sh --reproducible   builds the package from two clones of HEAD in different
#                                 folders, the second without the compiler cache and with
#                                 another umask, time zone and locale, and compares the two
#                                 .deb files byte for byte (too slow for CI)
#
# lintian (Debian 12's) on the .deb and its -dbgsym: no error and no warning. Then, installed
# with `apt-get install ./build-deb/karst-viewer_*.deb`: every program answers --version from
# /usr/bin with the package's version, `man -w` finds every man page, the menu entries (the
# viewer's and the workbench's) pass desktop-file-validate, the AppStream metainfo files
# appstreamcli validate, the MIME database maps
# *.gff in any case to application/x-karst-gff (asked through GIO) and the menu entry opens it, every completion is in place,
# `karst-render all` writes the installed sample world's four pictures, and `karst-viewer
# --window --sample-world` in Xvfb shows it as `karst-render --view` draws it. Last,
# `apt-get purge karst-viewer` leaves none of the files `dpkg -L` listed.
#
# The machine is left as it was: a trap purges the package, and the packages its install
# brought in, on every way out; a lock keeps two clones from installing at once. Without root
# or password-less sudo, or with a karst-viewer installed already, only lintian runs, and the
# script says why.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
arch=$(dpkg --print-architecture)
started=$SECONDS

clock() {
  printf '%d:%02d' $(($1 / 60)) $(($1 % 60))
}

if [ "${1:-}" = --reproducible ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/karst-reproducible-XXXXXX")
  trap 'rm -rf "$work"' EXIT
  # Folders of different names and depths, so that no path of the build can hide in the bytes.
  first=$work/first/karst-viewer
  second=$work/second/another/folder
  git clone -q "$root" "$first"
  echo "== reproducible: $(git -C "$first" rev-parse --short HEAD) built in $first (compiler cache) =="
  (umask 022 && TZ=UTC LC_ALL=C make -C "$first" --no-print-directory deb)
  echo "== and in $second (no cache, umask 002, another time zone and locale) =="
  (umask 002 && git clone -q "$root" "$second" && TZ=Pacific/Kiritimati LC_ALL=C.UTF-8 KARST_NO_CACHE=1 \
    make -C "$second" --no-print-directory deb)
  for deb in "$first"/build-deb/*.deb; do
    name=$(basename "$deb")
    if ! cmp "$deb" "$second/build-deb/$name"; then
      dpkg-deb -R "$deb" "$work/a" && dpkg-deb -R "$second/build-deb/$name" "$work/b"
      diff -rq "$work/a" "$work/b" || true
      echo "FAIL: $name differs between the two builds"
      exit 1
    fi
    echo "   $name: the same $(stat -c %s "$deb") bytes ($(sha256sum "$deb" | cut -c1-16))"
  done
  echo "PASS ($(clock $((SECONDS - started))))"
  exit 0
fi

programs=(karst-viewer karst-render karst-gff karst-sampleworld karst-workbench)
deb=build-deb/karst-viewer_$(dpkg-parsechangelog -S Version)_$arch.deb
if [ ! -f "$deb" ]; then
  make --no-print-directory deb
fi
built=$SECONDS

echo "== lintian $(lintian --version | cut -d' ' -f2) =="
lintian_log=build-deb/lintian.log
# Judged by its tags, as lintian's own verdict counts the overrides it is asked to show.
if ! lintian --fail-on none --show-overrides "${deb%.deb}.changes" >"$lintian_log" 2>&1 ||
  grep -q '^[EW]: ' "$lintian_log"; then
  cat "$lintian_log"
  echo "FAIL: lintian"
  exit 1
fi
grep -v '^running with root privileges' "$lintian_log" | sed 's/^/   /'
echo "   no error, no warning (the .deb, its -dbgsym, .changes and .buildinfo)"

root_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! sudo -n true 2>/dev/null; then
    echo "SKIPPED: installing the package (neither root nor password-less sudo); lintian passed"
    exit 0
  fi
  root_cmd=(sudo -n)
fi

# Installing and purging are the machine's, whichever clone runs them.
lock=/run/lock/karst-viewer-deb-check.lock
exec 9>>"$lock"
chmod a+rw "$lock" 2>/dev/null || true
flock 9

# dpkg's word for a package's state: installed, config-files, ...; empty or not-installed when
# dpkg does not know it.
package_status() {
  dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true
}

status=$(package_status karst-viewer)
if [ -n "$status" ] && [ "$status" != not-installed ]; then
  echo "SKIPPED: installing the package (karst-viewer is already on this machine: $status); lintian passed"
  exit 0
fi

apt_get() {
  DEBIAN_FRONTEND=noninteractive "${root_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 -y -qq "$@"
}

installed_packages() {
  dpkg-query -W -f='${Package} ${db:Status-Status}\n' | awk '$2 == "installed" { print $1 }' | sort -u
}

# The packages that the install brought in beside karst-viewer and that are still installed.
brought_in() {
  comm -12 "$work/brought-in" <(installed_packages)
}

# Those of them that nothing wants any more, purged.
purge_brought_in() {
  local unwanted
  unwanted=$(comm -12 <(brought_in) <(apt-get -s autoremove 2>/dev/null | awk '$1 == "Remv" { print $2 }' | sort))
  if [ -n "$unwanted" ]; then
    echo "   purging what the install brought in: ${unwanted//$'\n'/ }"
    # shellcheck disable=SC2086
    apt_get purge $unwanted >/dev/null
  fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-deb-check-XXXXXX")
shots=$work/shots
mkdir -p "$shots"
installing=0
# shellcheck source=scripts/viewer-session.sh
source scripts/viewer-session.sh
leave_as_found() {
  local exit_status=$?
  stop_xvfb
  if [ "$installing" = 1 ]; then
    echo "== purging karst-viewer after a failure =="
    apt_get purge karst-viewer >/dev/null || exit_status=1
    purge_brought_in || exit_status=1
  fi
  session_cleanup
  exit "$exit_status"
}
trap leave_as_found EXIT

step "apt-get install ./$deb"
apt-get -s install "./$deb" 2>/dev/null | awk '$1 == "Inst" && $2 != "karst-viewer" { print $2 }' | sort >"$work/brought-in"
installing=1
apt_get install "./$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; fail "apt-get install"; }
[ "$(package_status karst-viewer)" = installed ] || fail "karst-viewer is not installed"
dpkg -L karst-viewer | sort >"$work/files"
echo "   $(wc -l <"$work/files") paths; brought in beside it: $(wc -l <"$work/brought-in") packages"

step "the programs"
package_version=$(dpkg-query -W -f='${Version}' karst-viewer)
for program in "${programs[@]}"; do
  [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not /usr/bin/$program"
  answer=$("/usr/bin/$program" --version) || fail "$program --version failed"
  [ "$answer" = "$program ${package_version%-*}" ] || fail "$program --version says \"$answer\", the package is $package_version"
  echo "   $answer"
done

step "man pages, completions"
[ "$(package_status man-db)" = installed ] ||
  fail "man-db is not installed (scripts/install-deps.sh installs it)"
for program in "${programs[@]}"; do
  page=$(man -w "$program") || fail "man -w does not find $program"
  [ "$page" = "/usr/share/man/man1/$program.1.gz" ] || fail "man -w finds $page for $program"
  completion=/usr/share/bash-completion/completions/$program
  bash -c 'source "$1" && complete -p "$2"' _ "$completion" "$program" >/dev/null 2>&1 ||
    fail "no shell completion for $program in $completion"
done
echo "   man -w finds all ${#programs[@]} pages; each program has its completion"

step "the menu entry, the metainfo, the MIME type"
for entry in /usr/share/applications/karst-viewer.desktop /usr/share/applications/karst-workbench.desktop; do
  validation=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate $entry: $validation"
  [ -z "$validation" ] || fail "desktop-file-validate has remarks on $entry: $validation"
done
for metainfo in /usr/share/metainfo/io.github.karst_viewer.karst_{viewer,workbench}.metainfo.xml; do
  validation=$(appstreamcli validate --no-net --strict "$metainfo" 2>&1) || fail "appstreamcli validate $metainfo: $validation"
  grep -q "<release version=\"${package_version%-*}\" date=" "$metainfo" ||
    fail "$metainfo has no release ${package_version%-*}"
done
# The triggers of shared-mime-info and desktop-file-utils have brought the databases up to date:
# GIO, as file managers do, tells the type of a file whose bytes say nothing by its name, in
# either case (an empty file would be "text/plain" whatever its name).
mkdir -p "$work/named"
for name in RGN01.GFF objex.gff; do
  echo "no container" >"$work/named/$name"
  type=$(gio info -a standard::content-type "$work/named/$name" | sed -n 's/^ *standard::content-type: //p')
  [ "$type" = application/x-karst-gff ] || fail "the MIME database takes $name for $type"
done
grep -q '^application/x-karst-gff=.*karst-viewer\.desktop' /usr/share/applications/mimeinfo.cache ||
  fail "the desktop database does not open application/x-karst-gff with the menu entry"
grep -q '^application/x-karst-gff=.*karst-workbench\.desktop' /usr/share/applications/mimeinfo.cache ||
  fail "the desktop database does not open application/x-karst-gff with the workbench's entry"
echo "   both entries and both metainfo files validate; *.gff is application/x-karst-gff, opened by either entry"

step "karst-render all on the installed sample world"
world=/usr/share/karst-viewer/sample-world
render=/usr/bin/karst-render
"$render" all "$world" -o "$work/pictures" >"$work/render.log" 2>&1 || { cat "$work/render.log" >&2; fail "karst-render all"; }
for region in RGN01 RGN02 RGN03 RGN04; do
  [ "$(identify -format '%wx%h' "$work/pictures/$region.png")" = 2048x1536 ] || fail "no picture $region.png"
done
[ "$(find "$work/pictures" -type f | wc -l)" = 4 ] || fail "karst-render all wrote other files: $(ls "$work/pictures")"
echo "   RGN01.png to RGN04.png, 2048 x 1536"

step "karst-viewer --window --sample-world in Xvfb"
start_xvfb 640x480 || fail "no screen"
picture_geometry
start_viewer /usr/bin --window --sample-world || fail "the viewer did not start"
expect_view sample-world RGN01.GFF 0,0
expect_exit_after Escape
stop_xvfb

step "apt-get purge karst-viewer"
apt_get purge karst-viewer >"$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; fail "apt-get purge"; }
installing=0
status=$(package_status karst-viewer)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "karst-viewer is still known to dpkg: $status"
[ -z "$(dpkg -L karst-viewer 2>/dev/null)" ] || fail "dpkg -L still lists files of karst-viewer"
left=0
while read -r path; do
  [ "$path" != /. ] || continue
  # A folder stays only where another package still has files in it.
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    dpkg-query -S "$path" >/dev/null 2>&1 && continue
  fi
  if [ -e "$path" ] || [ -L "$path" ]; then
    echo "   left behind: $path" >&2
    left=$((left + 1))
  fi
done <"$work/files"
[ "$left" = 0 ] || fail "$left paths of the package are left behind"
purge_brought_in
[ -z "$(brought_in)" ] || fail "packages the install brought in are still installed: $(brought_in)"
echo "   none of the $(wc -l <"$work/files") paths is left, nor any package the install brought in"

echo "PASS (build $(clock $((built - started))), checks $(clock $((SECONDS - built))))"
