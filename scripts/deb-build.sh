#!/usr/bin/env bash
# make deb: the Debian package, built as Debian builds its own, by `dpkg-buildpackage -us -uc -b`
# on a copy of the clone's tracked files in build-deb/karst-viewer-<upstream version>/, which
# leaves its results beside that folder in build-deb/; the build's log is build-deb/build.log.
#   deb-build.sh JOBS
# The build has a network of its own with nothing but loopback, so nothing in it can reach out;
# where the system allows no network namespace it says so and builds all the same. It leaves the
# tests to make test (nocheck) and compiles through the compiler cache in KARST_CCACHE_DIR
# (debian/rules; empty: none).
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(dpkg-parsechangelog -S Version)
source_copy=build-deb/karst-viewer-${version%-*}
echo "== Debian package karst-viewer $version (dpkg-buildpackage, log in build-deb/build.log) =="
rm -rf build-deb
mkdir -p "$source_copy"
# The working tree's copy of every tracked file; one deleted in it stays out.
git ls-files -z | tar --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -C "$source_copy" -xf -

# Raising the loopback takes root in the namespace: another user becomes root in a user
# namespace of its own (its files stay its own); root needs none, and so stays the real root, as
# the tests that run a program as another user need when a package build runs them.
offline=(unshare --net)
[ "$(id -u)" = 0 ] || offline+=(--map-root-user)
offline+=(sh -c 'ip link set lo up && exec "$@"' offline)
if ! "${offline[@]}" true 2>/dev/null; then
  echo "   no network namespace here: built with the network reachable"
  offline=()
fi

if ! (cd "$source_copy" && DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" \
  "${offline[@]}" dpkg-buildpackage -us -uc -b -Pnocheck "-J${1:-2}") >build-deb/build.log 2>&1; then
  tail -n 60 build-deb/build.log
  echo "FAIL: dpkg-buildpackage (build-deb/build.log)"
  exit 1
fi
printf '   %s\n' build-deb/*.deb
