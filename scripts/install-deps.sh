#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the viewer need.
# Idempotent: packages already present are left alone and apt is not touched.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  libsdl2-dev libsdl2-ttf-dev libx11-dev libfontconfig-dev fonts-dejavu-core libpng-dev
  libgtest-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev
  # Dear ImGui and its SDL back ends: the workbench's window; the Windows build compiles ImGui
  # with libstb-dev's font rasteriser and rectangle packer, as Debian's own build does.
  libimgui-dev libstb-dev
  xvfb xdotool x11-apps x11-utils imagemagick
  # X core fonts, which SDL draws its message boxes with, and a small window manager: the
  # end-to-end test shows the viewer's boxes and runs it with and without a window manager.
  xfonts-base matchbox-window-manager
  # The desktop files: man pages made from the programs' --help and --version, the entry checked
  # with desktop-file-validate, the MIME type checked with update-mime-database, the handlers the
  # entry claims asked of xdg-mime.
  help2man desktop-file-utils shared-mime-info xdg-utils
  # The test that runs the README's examples.
  python3
  # The atlas's browser test: headless Chromium driven through Selenium, its screenshots read
  # with Pillow.
  chromium chromium-driver python3-selenium python3-pil
  # Tiled, the map editor modders use: its own renderer (tmxrasterizer) and writer
  # (tiled --export-map) judge the maps that karst-gff unpack writes and pack reads back.
  tiled
  # make bench pins its single-threaded figures to one core with taskset.
  util-linux
  # The Windows build (make windows): the mingw-w64 cross compilers with posix threads, dpkg-dev
  # to unpack the dependencies' Debian source packages, ccache for the cross build, zip for the
  # release; wine64 runs the Windows tests and programs.
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  dpkg-dev ccache zip unzip wine64
  # The Debian package (make deb, scripts/deb-check.sh): debhelper builds it, with iproute2's ip
  # raising the loopback of its network namespace; lintian and appstream check it, man-db finds
  # its installed man pages, GIO (libglib2.0-bin) tells a file's type from the MIME database.
  debhelper iproute2 lintian appstream man-db libglib2.0-bin
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# Another clone's install, or the package check, may hold dpkg's lock for a while: wait for it.
wait_for_lock=(-o DPkg::Lock::Timeout=600)
"${sudo_cmd[@]}" apt-get "${wait_for_lock[@]}" update -qq
"${sudo_cmd[@]}" apt-get "${wait_for_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"
