#!/usr/bin/env bash
# The libraries the Windows programs link: zlib, libpng, FreeType, SDL2, SDL2_ttf, Dear ImGui and
# GoogleTest,
# cross-compiled as static libraries with Debian's mingw-w64 (posix threads) from Debian's own
# source packages into <folder>/prefix, the licence files of their sources kept in
# <folder>/sources.
#   windows-deps.sh              prints <folder>, building it first when the cache lacks it
#   windows-deps.sh --fill DIR   builds into the empty folder DIR (what the cache runs)
# <folder> is kept in the cache every clone shares (scripts/cache-lib.sh) under a key of what
# goes into it: the Debian source versions, the cross compilers' versions, and this script's and
# the toolchain file's own text. The sources come through apt with a configuration of its own
# in the cache (its own sources list, lists and state, the lists read again once a day): the
# machine's apt setup is only read for its keyring, never changed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/cache-lib.sh
source "$root/scripts/cache-lib.sh"
jobs=${JOBS:-2}
host=x86_64-w64-mingw32
libraries=(zlib libpng1.6 freetype libsdl2 libsdl2-ttf imgui googletest)

# The machine's suite (bookworm here): the sources must be those of the installed packages' release.
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")

# apt's own configuration and lists for the sources, shared by every fill.
apt_dir=$(karst_cache_root)/windows-deps-apt
mkdir -p "$apt_dir"/etc/apt.conf.d "$apt_dir"/etc/sources.list.d "$apt_dir"/etc/preferences.d \
  "$apt_dir"/etc/trusted.gpg.d "$apt_dir"/lists/partial "$apt_dir"/cache/archives/partial
apt_dir=$(cd "$apt_dir" && pwd)
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main" \
  >"$apt_dir"/etc/sources.list
# Run as root, apt would download as the _apt user, who cannot write into these folders.
cat >"$apt_dir"/apt.conf <<EOF
Dir::Etc "$apt_dir/etc";
Dir::Etc::SourceList "$apt_dir/etc/sources.list";
Dir::Etc::SourceParts "$apt_dir/etc/sources.list.d";
Dir::Etc::Preferences "$apt_dir/etc/preferences";
Dir::Etc::PreferencesParts "$apt_dir/etc/preferences.d";
Dir::Etc::TrustedParts "$apt_dir/etc/trusted.gpg.d";
Dir::Etc::Parts "$apt_dir/etc/apt.conf.d";
Dir::State "$apt_dir";
Dir::State::Lists "$apt_dir/lists";
Dir::State::status "/var/lib/dpkg/status";
Dir::Cache "$apt_dir/cache";
Dir::Cache::archives "$apt_dir/cache/archives";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
Debug::NoLocking "true";
APT::Sandbox::User "$(id -un)";
Acquire::Languages "none";
EOF
export APT_CONFIG=$apt_dir/apt.conf

if [ "${1:-}" != --fill ]; then
  # The lists are read again once a day (a newer source version makes a new key); a machine
  # that cannot reach the archive goes on with the lists it has.
  (
    flock 9
    stamp=$apt_dir/lists/.updated
    if [ -z "$(find "$stamp" -mmin -1440 2>/dev/null)" ]; then
      if apt-get update -q >"$apt_dir/update.log" 2>&1; then
        touch "$stamp"
      elif [ -f "$stamp" ]; then
        echo "windows-deps: the source lists could not be read again; using those of $(date -r "$stamp")" >&2
      else
        cat "$apt_dir/update.log" >&2
        echo "windows-deps: FAILED: the source lists (apt-get update)" >&2
        exit 1
      fi
    fi
  ) 9>"$apt_dir.lock"
  key_text="suite $suite"$'\n'
  for library in "${libraries[@]}"; do
    version=$(apt-cache showsrc --only-source "$library" | sed -n 's/^Version: //p' | sort -V | tail -n 1)
    if [ -z "$version" ]; then
      echo "windows-deps: FAILED: no source package $library in the lists" >&2
      exit 1
    fi
    key_text+="$library $version"$'\n'
  done
  # libstb-dev's headers are compiled into libimgui.a, so their version is part of the key too.
  key_text+="$(dpkg-query -W -f='${Package} ${Version}\n' gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libstb-dev)"$'\n'
  key_text+="$(sha256sum "$root/scripts/windows-deps.sh" "$root/cmake/mingw-w64-x86_64.cmake" | cut -d' ' -f1)"
  cached_folder windows-deps "$key_text" bash "$root/scripts/windows-deps.sh" --fill
  exit
fi

deps=$2
prefix=$deps/prefix
sources_dir=$deps/sources
logs=$deps/logs
mkdir -p "$sources_dir" "$logs" "$prefix"

# Fails with the library's name and its log; the end of the log is shown too. A fill that
# fails is not sealed, and the next run starts it again from nothing.
step() {
  local library=$1 log=$logs/$1.log
  shift
  echo "windows-deps: $library"
  # In the background so that set -e stops the step at its first failing command.
  ("$@") >"$log" 2>&1 &
  if ! wait $!; then
    tail -n 30 "$log" >&2
    echo "windows-deps: FAILED: $library (log: $log)" >&2
    exit 1
  fi
}

# Unpacks the source package into sources/<package>, patched as Debian ships it.
fetch() {
  local package=$1
  mkdir -p "$sources_dir/$package.tmp"
  (cd "$sources_dir/$package.tmp" && apt-get source -q --only-source "$package")
  local tree
  tree=$(find "$sources_dir/$package.tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  mv "$tree" "$sources_dir/$package"
  rm -rf "$sources_dir/$package.tmp"
}

export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
export PKG_CONFIG_PATH=

cross_cmake() {
  local source=$1 build=$2
  shift 2
  rm -rf "$build"
  cmake -G Ninja -S "$source" -B "$build" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DKARST_WINDOWS_DEPS="$deps" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build "$build" -j "$jobs"
  cmake --install "$build"
}

build_zlib() {
  fetch zlib
  rm -rf "$deps/build/zlib"
  mkdir -p "$deps/build/zlib"
  cp -a "$sources_dir/zlib/." "$deps/build/zlib/"
  (cd "$deps/build/zlib" &&
    CHOST=$host CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib CFLAGS=-O2 \
      ./configure --static --prefix="$prefix" &&
    make -j "$jobs" libz.a && make install)
}

build_libpng() {
  fetch libpng1.6
  cross_cmake "$sources_dir/libpng1.6" "$deps/build/libpng" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_ROOT="$prefix"
}

build_freetype() {
  fetch freetype
  cross_cmake "$sources_dir/freetype" "$deps/build/freetype" \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_REQUIRE_ZLIB=ON
}

build_sdl2() {
  fetch libsdl2
  cross_cmake "$sources_dir/libsdl2" "$deps/build/sdl2" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_UNINSTALL=ON
}

build_sdl2_ttf() {
  fetch libsdl2-ttf
  cross_cmake "$sources_dir/libsdl2-ttf" "$deps/build/sdl2-ttf" \
    -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_SAMPLES=OFF \
    -DSDL2_DIR="$prefix/lib/cmake/SDL2"
  # Its build writes a .pc file only for a shared library; the static one gets the same.
  local header=$prefix/include/SDL2/SDL_ttf.h version
  version=$(sed -n 's/^#define SDL_TTF_MAJOR_VERSION *\([0-9]*\)/\1/p' "$header").$(
    sed -n 's/^#define SDL_TTF_MINOR_VERSION *\([0-9]*\)/\1/p' "$header").$(
    sed -n 's/^#define SDL_TTF_PATCHLEVEL *\([0-9]*\)/\1/p' "$header")
  cat >"$prefix/lib/pkgconfig/SDL2_ttf.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: SDL2_ttf
Description: TrueType font rendering for SDL2, with FreeType
Version: $version
Requires: sdl2
Requires.private: freetype2
Libs: -L\${libdir} -lSDL2_ttf
Cflags: -I\${includedir}/SDL2
PC
}

# Dear ImGui as Debian's libimgui-dev has it: the headers in include/imgui/ with backends/, a
# static libimgui.a and imgui.pc. Its source has no build of its own for the cross compiler, so
# the files are compiled here: the core, imgui_stdlib and the SDL and SDL_Renderer back ends
# (which the workbench draws with; the demo window is left out, as nothing of the core calls
# it). Debian takes stb_truetype and stb_rect_pack from libstb-dev rather than the copies in
# ImGui's source; here their implementations are compiled into the library from the same
# headers, as there is no Windows libstb to link.
build_imgui() {
  fetch imgui
  local source=$sources_dir/imgui build=$deps/build/imgui file object version
  local -a objects=() flags
  mkdir -p "$build"
  read -ra flags < <(pkg-config --cflags sdl2)
  for file in imgui.cpp imgui_draw.cpp imgui_tables.cpp imgui_widgets.cpp misc/cpp/imgui_stdlib.cpp \
    backends/imgui_impl_sdl.cpp backends/imgui_impl_sdlrenderer.cpp; do
    object=$build/$(basename "$file" .cpp).o
    $host-g++-posix -std=c++17 -O2 -DNDEBUG -I"$source" -I"$prefix/include" "${flags[@]}" \
      '-DIMGUI_STB_RECT_PACK_FILENAME=<stb/stb_rect_pack.h>' '-DIMGUI_STB_TRUETYPE_FILENAME=<stb/stb_truetype.h>' \
      -c "$source/$file" -o "$object"
    objects+=("$object")
  done
  mkdir -p "$prefix/lib/pkgconfig" "$prefix/include/imgui/backends"
  rm -f "$prefix/lib/libimgui.a"
  $host-ar rcs "$prefix/lib/libimgui.a" "${objects[@]}"
  install -m 0644 "$source"/*.h "$source"/misc/cpp/*.h "$source"/misc/freetype/*.h "$prefix/include/imgui/"
  install -m 0644 "$source"/backends/*.h "$prefix/include/imgui/backends/"
  version=$(sed -n 's/^#define IMGUI_VERSION *"\([^"]*\)"/\1/p' "$source/imgui.h")
  cat >"$prefix/lib/pkgconfig/imgui.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include/imgui

Name: imgui
Description: Bloat-free Immediate Mode Graphical User interface for C++, with its SDL2 back ends
Version: $version
Requires.private: sdl2
Libs: -L\${libdir} -limgui
Cflags: -I\${includedir}
PC
}

build_googletest() {
  fetch googletest
  cross_cmake "$sources_dir/googletest" "$deps/build/googletest" -DBUILD_GMOCK=OFF -Dgtest_force_shared_crt=OFF
}

# The header-only libraries are Debian's own packages, reached through the prefix so that the
# cross compiler never searches /usr/include.
link_header_only() {
  local folder
  for folder in nlohmann CLI stb; do
    if [ ! -d "/usr/include/$folder" ]; then
      echo "missing /usr/include/$folder (scripts/install-deps.sh installs it)"
      return 1
    fi
    mkdir -p "$prefix/include"
    ln -sfn "/usr/include/$folder" "$prefix/include/$folder"
  done
}

step header-only link_header_only
step zlib build_zlib
step libpng build_libpng
step freetype build_freetype
step sdl2 build_sdl2
step sdl2-ttf build_sdl2_ttf
step imgui build_imgui
step googletest build_googletest

# Only what the release needs of the sources stays: Debian's copyright files and the licences.
find "$sources_dir" -mindepth 2 \( -type f -o -type l \) ! -path "$sources_dir/*/debian/copyright" \
  ! -regex "$sources_dir/[^/]*/LICEN[CS]E[^/]*" ! -path "$sources_dir/freetype/docs/FTL.TXT" -delete
find "$sources_dir" -depth -mindepth 1 -type d -empty -delete
rm -rf "$deps/build"
echo "windows-deps: done ($prefix)"
