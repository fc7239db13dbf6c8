#!/bin/sh
# Installs Quendrel on Debian 12 as a Debian package and starts it: the
# packages it needs to build, the build, the package quendrel_<version>_amd64.deb,
# the CUPS daemon, then `apt-get install` of the package, whose set-up adds the
# "Marrowby PDF Writer" printer. Run it from the source folder as the user who
# will use Quendrel; it asks sudo for the steps that need root.
# Remove it again with: sudo apt-get remove quendrel
set -eu
cd "$(dirname "$0")/.."
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo

$sudo scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENDREL_TESTS=OFF -DQUENDREL_BENCH=OFF
cmake --build build
rm -rf build/package
(cd build && cpack -G DEB -B "$PWD/package")
deb=$(ls build/package/quendrel_*_amd64.deb)

# The print system first, so that the package's set-up finds it running: the
# init system starts it where there is one.
if [ -d /run/systemd/system ]; then
  $sudo systemctl enable --now cups
else
  $sudo scripts/start-cupsd.sh
fi

# An earlier version of this script copied Quendrel under /usr/local, where it
# would hide the package's program and menu entry: take exactly those files away.
old=/usr/local
if [ "$(readlink "$old/bin/quendrel" 2>/dev/null)" = ../lib/quendrel/quendrel ]; then
  $sudo rm -f "$old/bin/quendrel" "$old/lib/quendrel/quendrel" "$old/lib/quendrel/iecapt" \
    "$old/lib/quendrel/marrowby" "$old/lib/quendrel/marrowby-pdf-writer.ppd" \
    "$old/lib/quendrel/install-printer.sh" "$old/lib/quendrel/uninstall-printer.sh" \
    "$old/share/applications/quendrel.desktop" "$old/share/icons/hicolor/scalable/apps/quendrel.svg" \
    "$old/share/icons/hicolor/64x64/apps/quendrel.png"
  $sudo rmdir "$old/lib/quendrel" 2>/dev/null || true
fi

$sudo apt-get install -y "./$deb"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Quendrel is installed; start it from the desktop's menu or with: quendrel"
  exit 0
fi
exec /usr/bin/quendrel
