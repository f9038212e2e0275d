#!/usr/bin/env bash
# The programs as a desktop user has them: installed with `cmake --install` into a fresh prefix,
# the viewer run from another folder on a game folder, on a region file, and in a window.
#
#   e2e-desktop.sh BUILD_DIR
#
# The installed files: the menu entry passes desktop-file-validate, the AppStream metainfo passes
# appstreamcli validate and names the programs' version, the MIME type is accepted by
# update-mime-database (glob *.gff in any case, magic "GFFI"), xdg-mime opens GFF files with the
# viewer but not folders; the workbench's entry and metainfo validate too, its entry asks to be
# preferred for GFF files without hiding the viewer's, and a choice the person made stands; an icon at every size (the town hall cut out), a man page and a shell
# completion for every program, the sample world. Then, in Xvfb screens, every picture compared
# pixel for pixel with the installed karst-render's:
#   karst-viewer GAMEDIR             the folder's first region
#   karst-viewer GAMEDIR/RGN03.GFF   that region, whose name has descenders: they show in the
#                                    band's last rows; Backspace steps back to RGN02
#   --window --scale 2               a 1280 x 960 window equal to `karst-render --view X,Y
#                                    --scale 2`; resized, the picture stays whole and centred;
#                                    uncovered while another window has the focus, it is
#                                    painted again; the mouse scrolls only from inside it
#   --window --sample-world          the installed sample world, as the menu entry starts it
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$1

work=$(mktemp -d "${TMPDIR:-/tmp}/karst-desktop-XXXXXX")
prefix=$work/prefix
game=$work/game
shots=$work/shots
mkdir -p "$game" "$shots" "$work/elsewhere"
# shellcheck source=scripts/viewer-session.sh
source "$(dirname "$0")/viewer-session.sh"

step "cmake --install into a fresh prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log" >&2; fail "install"; }
for program in karst-viewer karst-render karst-gff karst-sampleworld karst-workbench; do
  [ -x "$prefix/bin/$program" ] || fail "no $program installed"
  page=$prefix/share/man/man1/$program.1
  [ -s "$page" ] || fail "no man page $program.1"
  grep -q "^\.TH ${program^^} " "$page" || fail "$program.1 has no title line"
  version=$("$prefix/bin/$program" --version)
  grep -qF "${version#* }" "$page" || fail "$program.1 does not carry the version $version"
  # Where bash-completion looks for a program's completion, named after it, giving it one.
  completion=$prefix/share/bash-completion/completions/$program
  bash -c 'source "$1" && complete -p "$2"' _ "$completion" "$program" >/dev/null 2>&1 ||
    fail "no shell completion for $program"
done
grep -q -- "--window" "$prefix/share/man/man1/karst-viewer.1" || fail "karst-viewer.1 does not explain --window"
# karst-gff's NAME line says it unpacks and packs, and its page carries the Tiled map's rules.
grep -A1 '^\.SH NAME' "$prefix/share/man/man1/karst-gff.1" | grep -q 'unpack.*pack' ||
  fail "karst-gff.1's NAME line leaves out unpack and pack"
grep -q '^\.SH "MAPS IN TILED"' "$prefix/share/man/man1/karst-gff.1" || fail "karst-gff.1 has no MAPS IN TILED"
grep -q 'refuses a changed map' "$prefix/share/man/man1/karst-gff.1" || fail "karst-gff.1 leaves out the map's rules"
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/karst-viewer.png
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "no ${size}x${size} icon"
done
# The town hall alone: every pixel either the building's or wholly transparent, the corners
# transparent, and the building at least half the icon's width and height.
for size in 16 48; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/karst-viewer.png
  [ "$(convert "$icon" -alpha extract -format '%k' info:)" = 2 ] || fail "the ${size}x${size} icon is not cut out"
  for corner in 0,0 $((size - 1)),0 0,$((size - 1)) $((size - 1)),$((size - 1)); do
    [ "$(convert "$icon" -alpha extract -format "%[fx:p{$corner}]" info:)" = 0 ] ||
      fail "the ${size}x${size} icon's corner $corner is not transparent"
  done
  read -r width height < <(convert "$icon" -alpha extract -trim -format '%w %h\n' info:)
  [ $((2 * width)) -ge "$size" ] && [ $((2 * height)) -ge "$size" ] ||
    fail "the building fills only $width x $height of the ${size}x${size} icon"
done
for file in RGN01.GFF RGN02.GFF RGN03.GFF RGN04.GFF OBJEX.GFF; do
  [ -f "$prefix/share/karst-viewer/sample-world/$file" ] || fail "no sample world file $file"
done
echo "   programs, man pages, completions, icons and the sample world are in place"

step "desktop-file-validate"
entry=$prefix/share/applications/karst-viewer.desktop
desktop-file-validate "$entry" >"$work/validate.log" 2>&1 || { cat "$work/validate.log" >&2; fail "the entry does not validate"; }
[ ! -s "$work/validate.log" ] || { cat "$work/validate.log" >&2; fail "desktop-file-validate has remarks"; }
grep -qx 'Exec=karst-viewer --window --sample-world %f' "$entry" || fail "the entry does not start the viewer as it should"
grep -q '^MimeType=application/x-karst-gff;' "$entry" || fail "the entry does not take GFF files"
entry=$prefix/share/applications/karst-workbench.desktop
desktop-file-validate "$entry" >"$work/validate.log" 2>&1 || { cat "$work/validate.log" >&2; fail "the workbench's entry does not validate"; }
[ ! -s "$work/validate.log" ] || { cat "$work/validate.log" >&2; fail "desktop-file-validate has remarks on the workbench's entry"; }
grep -qx 'Name=Karst Workbench' "$entry" || fail "the workbench's entry is not named Karst Workbench"
grep -qx 'Exec=karst-workbench %f' "$entry" || fail "the workbench's entry does not start the workbench as it should"
grep -qx 'MimeType=application/x-karst-gff;' "$entry" || fail "the workbench's entry does not take just GFF files"
echo "   both entries validate"

step "the AppStream metainfo"
metainfo=$prefix/share/metainfo/io.github.karst_viewer.karst_viewer.metainfo.xml
appstreamcli validate --no-net --strict "$metainfo" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log" >&2; fail "the metainfo does not validate"; }
grep -q '<launchable type="desktop-id">karst-viewer.desktop</launchable>' "$metainfo" ||
  fail "the metainfo does not launch the installed entry"
version=$("$prefix/bin/karst-viewer" --version)
grep -q "<release version=\"${version#* }\" date=" "$metainfo" || fail "the metainfo has no release entry for $version"
metainfo=$prefix/share/metainfo/io.github.karst_viewer.karst_workbench.metainfo.xml
appstreamcli validate --no-net --strict "$metainfo" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log" >&2; fail "the workbench's metainfo does not validate"; }
grep -q '<launchable type="desktop-id">karst-workbench.desktop</launchable>' "$metainfo" ||
  fail "the workbench's metainfo does not launch its installed entry"
grep -q "<release version=\"${version#* }\" date=" "$metainfo" || fail "the workbench's metainfo has no release ${version#* }"
echo "   both validate and name the release ${version#* }"

step "the MIME type"
mkdir -p "$work/mime/packages"
cp "$prefix/share/mime/packages/karst-viewer.xml" "$work/mime/packages/"
XDG_DATA_HOME=$work update-mime-database "$work/mime" >"$work/mime.log" 2>&1 || { cat "$work/mime.log" >&2; fail "update-mime-database"; }
[ ! -s "$work/mime.log" ] || { cat "$work/mime.log" >&2; fail "update-mime-database has remarks"; }
# A glob without the ":cs" flag matches in any case.
grep -qx '50:application/x-karst-gff:\*\.gff' "$work/mime/globs2" || fail "no case-insensitive *.gff glob"
grep -q 'GFFI' "$work/mime/magic" || fail "no GFFI magic"
echo "   *.gff in any case, magic GFFI"

step "the handlers the entry claims"
# A desktop that knows only the prefix's programs, so no other handler hides a claim of ours.
update-desktop-database "$prefix/share/applications"
query_default() {
  env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION XDG_DATA_HOME="$work/xdg-data" XDG_DATA_DIRS="$prefix/share" \
    XDG_CONFIG_HOME="$work/xdg-config" XDG_CONFIG_DIRS="$work/xdg-config" xdg-mime query default "$1"
}
[ "$(query_default application/x-karst-gff)" = karst-viewer.desktop ] || fail "the entry does not open GFF files"
[ "$(query_default inode/directory)" != karst-viewer.desktop ] || fail "the entry claims every folder"
[ "$(query_default inode/directory)" != karst-workbench.desktop ] || fail "the workbench's entry claims every folder"
# Both are offered for GFF files ("Open with"), in the desktop database.
grep -qx 'application/x-karst-gff=karst-viewer.desktop;karst-workbench.desktop;' \
  "$prefix/share/applications/mimeinfo.cache" || fail "the desktop database does not offer both entries for GFF files"
echo "   GFF files open with the viewer; both entries are offered; folders open with neither"
# Where the desktop has no database of its own, xdg-mime searches the entries and takes the one
# that asks to be preferred; a choice in the person's mimeapps.list stands all the same.
mv "$prefix/share/applications/mimeinfo.cache" "$work/mimeinfo.cache"
[ "$(query_default application/x-karst-gff)" = karst-workbench.desktop ] ||
  fail "the workbench's entry does not ask to be preferred for GFF files"
mkdir -p "$work/xdg-config"
printf '[Default Applications]\napplication/x-karst-gff=karst-viewer.desktop;\n' >"$work/xdg-config/mimeapps.list"
# xdg-mime takes a chosen entry only when its program is on the PATH, as it is for the person.
[ "$(PATH=$prefix/bin:$PATH query_default application/x-karst-gff)" = karst-viewer.desktop ] ||
  fail "the person's own choice of the viewer does not stand"
rm "$work/xdg-config/mimeapps.list"
mv "$work/mimeinfo.cache" "$prefix/share/applications/mimeinfo.cache"
echo "   the workbench asks to be preferred; the person's choice stands"

step "a game folder of our own"
"$prefix/bin/karst-sampleworld" "$game"
# The swamp's name, spelt with descenders, the same length so the container stays whole.
perl -pi -e 's/Mirefen/Jiggery/' "$game/RGN03.GFF"
grep -q Jiggery "$game/RGN03.GFF" || fail "RGN03.GFF has no new name"
(cd "$game" && sha256sum ./*.GFF > "$work/sums-before")

# What the viewer shows for region $1 at view $2 (X,Y), at scale $3, as raw RGB bytes in $4.
expected_rgb() {
  local png=$shots/expected-$(basename "$1" .GFF)-${2/,/-}-$3.png
  [ -f "$png" ] || "$prefix/bin/karst-render" region "$game/$1" --view "$2" --scale "$3" -o "$png" 2>/dev/null
  convert "$png" -depth 8 "rgb:$4"
}

# The whole 640 x 480 screen as raw RGB bytes.
screen_rgb() {
  xwd -root -silent > "$shots/screen.xwd"
  convert "xwd:$shots/screen.xwd" -depth 8 "rgb:$1"
}

# The viewer's window, cropped to $2 (WxH+X+Y of its inside), as raw RGB bytes; fails when
# anything of the window beside that is not black.
window_rgb() {
  xwd -id "$viewer_window" -silent > "$shots/window.xwd"
  convert "xwd:$shots/window.xwd" -crop "$2" +repage -depth 8 "rgb:$1"
  local size=${2%%+*} offset=${2#*+}
  local left=${offset%+*} top=${offset#*+}
  local right=$((left + ${size%x*} - 1)) bottom=$((top + ${size#*x} - 1))
  [ "$(convert "xwd:$shots/window.xwd" -fill black -draw "rectangle $left,$top $right,$bottom" \
    -format '%[max]' info:)" = 0 ]
}

# Waits up to 5 seconds until `$1 FILE ${@:5}` gives region $3 at view $4, scale from $2.
expect() {
  local grab=$1 scale=$2 region=$3 view=$4 label
  label=$(basename "$region" .GFF)-${view/,/-}-$scale
  expected_rgb "$region" "$view" "$scale" "$shots/$label.expected.rgb"
  for _ in $(seq 50); do
    if "$grab" "$shots/$label.rgb" "${@:5}" && cmp -s "$shots/$label.rgb" "$shots/$label.expected.rgb"; then
      echo "   $region at $view (scale $scale)"
      return 0
    fi
    sleep 0.1
  done
  fail "the viewer does not show $region at $view (scale $scale)"
}

expect_exit_after() {
  xdotool key "$1"
  for _ in $(seq 100); do
    kill -0 "$viewer_pid" 2>/dev/null || break
    sleep 0.1
  done
  local status=0
  wait "$viewer_pid" || status=$?
  viewer_pid=
  [ "$status" -eq 0 ] || { cat "$work/viewer.err" >&2; fail "exit code $status after $1"; }
}

step "full screen: a game folder from another folder"
start_xvfb 640x480 || fail "no screen"
cd "$work/elsewhere"
start_viewer "$prefix/bin" "$game" || fail "the viewer did not start"
expect screen_rgb 1 RGN01.GFF 0,0
expect_exit_after Escape

step "full screen: a region file, its name with descenders"
start_viewer "$prefix/bin" "$game/RGN03.GFF" || fail "the viewer did not start"
expect screen_rgb 1 RGN03.GFF 0,0
# The name's cell starts at the left edge: its first 36 columns hold only ink and paper, and
# the ink reaches the band's last rows.
convert -size 640x480 -depth 8 "rgb:$shots/RGN03-0-0-1.rgb" -crop 36x15+0+465 +repage "$shots/band.png"
[ "$(convert "$shots/band.png" -format '%k' info:)" = 2 ] || fail "the name band is not two colours"
[ "$(convert "$shots/band.png" -crop 36x3+0+12 +repage -format '%k' info:)" = 2 ] ||
  fail "no glyph reaches the band's last three rows"
echo "   the descenders show in the band's last rows"
xdotool key BackSpace
expect screen_rgb 1 RGN02.GFF 0,0
expect_exit_after Escape
stop_xvfb

step "a window, scale 2, on a 1920 x 1080 screen"
start_xvfb 1920x1080 || fail "no screen"
start_viewer "$prefix/bin" --window --scale 2 "$game" || fail "the viewer did not start"
geometry=$(xwininfo -id "$viewer_window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[ "$geometry" = 1280x960 ] || fail "the window is $geometry, not 1280x960"
expect window_rgb 2 RGN01.GFF 0,0 1280x960+0+0
xdotool key Right Right Down
expect window_rgb 2 RGN01.GFF 32,16 1280x960+0+0

step "the window resized"
xdotool windowsize --sync "$viewer_window" 1400 1000
xdotool key Right
expect window_rgb 2 RGN01.GFF 48,16 1280x960+60+20

step "the window uncovered while another has the focus"
xeyes -geometry 500x500+200+200 >/dev/null 2>&1 &
cover_pid=$!
cover=$(timeout 10 xdotool search --sync --onlyvisible --name '^xeyes$' | head -n 1) || fail "no covering window"
xdotool windowfocus --sync "$cover"
end_process "$cover_pid"
expect window_rgb 2 RGN01.GFF 48,16 1280x960+60+20

step "the mouse scrolls from inside the window only"
xdotool windowfocus --sync "$viewer_window"
read -r window_x window_y < <(xwininfo -id "$viewer_window" |
  awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 } END { print x, y }')
# The window's last column, then beyond its right edge.
xdotool mousemove $((window_x + 1399)) $((window_y + 500))
sleep 0.5
xdotool mousemove $((window_x + 1450)) $((window_y + 500))
sleep 0.2
window_rgb "$shots/left.rgb" 1280x960+60+20 || fail "the window beside the picture is not black"
sleep 0.3
window_rgb "$shots/left-later.rgb" 1280x960+60+20 || fail "the window beside the picture is not black"
cmp -s "$shots/left.rgb" "$shots/left-later.rgb" || fail "the view still moves with the mouse outside"
expected_rgb RGN01.GFF 48,16 2 "$shots/before-edge.rgb"
cmp -s "$shots/left.rgb" "$shots/before-edge.rgb" && fail "the mouse at the window's edge did not scroll"
echo "   scrolled while inside, stopped outside"
expect_exit_after Escape

step "the menu entry's command: the installed sample world"
start_viewer "$prefix/bin" --window --scale 1 --sample-world || fail "the viewer did not start"
game=$prefix/share/karst-viewer/sample-world
expect window_rgb 1 RGN01.GFF 0,0 640x480+0+0
expect_exit_after Escape
stop_xvfb

step "the game folder is unchanged"
(cd "$work/game" && sha256sum ./*.GFF > "$work/sums-after")
cmp -s "$work/sums-before" "$work/sums-after" || fail "the game's files changed"
echo "PASS"
