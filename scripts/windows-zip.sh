#!/usr/bin/env bash
# Packs the Windows release: build-windows/karst-<version>-windows-x64.zip holding one folder of
# that name with the five programs, the sample world beside them (the viewer shows the world
# beside itself when started without arguments), the README, the project's licence and the
# licences of everything built into the programs (the viewer carries the font it draws its text
# with) or shipped with them.
#   windows-zip.sh BUILD_WINDOWS KARST_SAMPLEWORLD
# BUILD_WINDOWS is the configured and built Windows tree (its bin/ holds the .exe files);
# KARST_SAMPLEWORLD is a program that writes the sample world (the Linux build's).
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_WINDOWS KARST_SAMPLEWORLD" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
sampleworld=$2
# The dependencies' folder the tree was configured with (scripts/windows-deps.sh prints it).
deps=${KARST_WINDOWS_DEPS:-$(sed -n 's/^KARST_WINDOWS_DEPS:[A-Z]*=//p' "$build/CMakeCache.txt")}
if [ -z "$deps" ]; then
  echo "no KARST_WINDOWS_DEPS in $build/CMakeCache.txt" >&2
  exit 1
fi
sources=$deps/sources
programs=(karst-viewer karst-render karst-gff karst-sampleworld karst-workbench)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [ -z "$version" ]; then
  echo "no project version in $build/CMakeCache.txt" >&2
  exit 1
fi
name=karst-$version-windows-x64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage/licenses"

for program in "${programs[@]}"; do
  cp "$build/bin/$program.exe" "$stage/"
done
"$sampleworld" "$stage" >/dev/null
cp "$root/README.md" "$stage/"
cp "$root/LICENSE" "$stage/LICENSE.txt"

# One folder per component: the upstream licence files and Debian's copyright file of the source
# package the library was built from, or of the Debian package that provided it.
licence_from_source() {
  local component=$1 package=$2 file
  shift 2
  mkdir -p "$stage/licenses/$component"
  cp "$sources/$package/debian/copyright" "$stage/licenses/$component/debian-copyright.txt"
  for file in "$@"; do
    cp "$sources/$package/$file" "$stage/licenses/$component/$(basename "$file")"
  done
}
licence_from_package() {
  local component=$1 package=$2
  mkdir -p "$stage/licenses/$component"
  cp "/usr/share/doc/$package/copyright" "$stage/licenses/$component/debian-copyright.txt"
}
licence_from_source SDL2 libsdl2 LICENSE.txt
licence_from_source SDL2_ttf libsdl2-ttf LICENSE.txt
licence_from_source FreeType freetype LICENSE.TXT docs/FTL.TXT
licence_from_source libpng libpng1.6 LICENSE
licence_from_source zlib zlib LICENSE
licence_from_source Dear-ImGui imgui LICENSE.txt
# The C and C++ runtime (libgcc, libstdc++ under the GCC Runtime Library Exception) and the
# mingw-w64 runtime with winpthreads, linked statically into every program.
licence_from_package gcc-runtime gcc-mingw-w64-base
licence_from_package mingw-w64-runtime mingw-w64-common
licence_from_package nlohmann-json nlohmann-json3-dev
licence_from_package CLI11 libcli11-dev
licence_from_package DejaVu-fonts fonts-dejavu-core
# stb_truetype and stb_rect_pack, compiled into Dear ImGui.
licence_from_package stb libstb-dev

# Windows's text tools want CR LF line ends.
find "$stage/licenses" -type f -exec sed -i 's/\r\?$/\r/' {} +
sed -i 's/\r\?$/\r/' "$stage/README.md" "$stage/LICENSE.txt"

zip_file=$build/$name.zip
rm -f "$zip_file"
(cd "$build/package" && zip -q -r -X "$zip_file" "$name")
echo "$zip_file"
unzip -l "$zip_file"
