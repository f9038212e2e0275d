#!/usr/bin/env bash
# Builds the libraries the Windows programs link, once: zlib, libpng, FreeType, SDL2, SDL2_ttf and
# GoogleTest, cross-compiled as static libraries with Debian's mingw-w64 (posix threads) from
# Debian's own source packages, into <deps>/prefix. <deps> is build-windows/deps, or
# $KARST_WINDOWS_DEPS. The sources come through apt with a configuration of its own under
# <deps>/apt (its own sources list, lists, state and cache): the machine's apt setup is only read
# for its keyring, never changed. A stamp makes every later run return at once; <deps>/READY says
# that a complete set is there.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps=${KARST_WINDOWS_DEPS:-$root/build-windows/deps}
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
prefix=$deps/prefix
stamp=$prefix/.complete
jobs=${JOBS:-2}
host=x86_64-w64-mingw32

if [ -f "$stamp" ]; then
  exit 0
fi

# The machine's suite (bookworm here): the sources must be those of the installed packages' release.
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")

apt_dir=$deps/apt
sources_dir=$deps/sources
logs=$deps/logs
mkdir -p "$apt_dir"/etc/apt.conf.d "$apt_dir"/etc/sources.list.d "$apt_dir"/etc/preferences.d \
  "$apt_dir"/etc/trusted.gpg.d "$apt_dir"/lists/partial "$apt_dir"/cache/archives/partial "$sources_dir" \
  "$logs" "$prefix"
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

# Fails with the library's name and its log; the end of the log is shown too. A step done is
# stamped, so that a run after a failure goes on where it stopped.
step() {
  local library=$1 log=$logs/$1.log
  shift
  if [ -f "$prefix/.done-$library" ]; then
    return 0
  fi
  echo "windows-deps: $library"
  # In the background so that set -e stops the step at its first failing command.
  ("$@") >"$log" 2>&1 &
  if ! wait $!; then
    tail -n 30 "$log" >&2
    echo "windows-deps: FAILED: $library (log: $log)" >&2
    exit 1
  fi
  touch "$prefix/.done-$library"
}

# Unpacks the source package once into sources/<package>, patched as Debian ships it.
fetch() {
  local package=$1
  if [ -d "$sources_dir/$package" ]; then
    return 0
  fi
  rm -rf "$sources_dir/$package.tmp"
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

step apt-update apt-get update -q

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

build_googletest() {
  fetch googletest
  cross_cmake "$sources_dir/googletest" "$deps/build/googletest" -DBUILD_GMOCK=OFF -Dgtest_force_shared_crt=OFF
}

# The header-only libraries are Debian's own packages, reached through the prefix so that the
# cross compiler never searches /usr/include.
link_header_only() {
  local folder
  for folder in nlohmann CLI; do
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
step googletest build_googletest

touch "$stamp"
touch "$deps/READY"
echo "windows-deps: done ($prefix)"
