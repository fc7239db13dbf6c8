#!/bin/sh
# Installs Quendrel on Debian 12 and starts it: the packages it needs, the build,
# the program with its menu entry, the CUPS daemon and the "Marrowby PDF Writer"
# printer. Run it as the user who will use Quendrel; it asks sudo for the
# steps that need root.
set -eu
cd "$(dirname "$0")/.."
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
prefix=/usr/local

$sudo scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENDREL_TESTS=OFF -DQUENDREL_BENCH=OFF \
      -DCMAKE_INSTALL_PREFIX="$prefix"
cmake --build build
$sudo cmake --install build

# The print system: the init system starts it where there is one.
if [ -d /run/systemd/system ]; then
  $sudo systemctl enable --now cups
else
  $sudo scripts/start-cupsd.sh
fi
$sudo "$prefix/lib/quendrel/install-printer.sh"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Quendrel is installed; start it from the desktop's menu or with: quendrel"
  exit 0
fi
exec "$prefix/bin/quendrel"
