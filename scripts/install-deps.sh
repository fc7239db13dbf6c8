#!/bin/sh
# Installs the Debian 12 packages Quendrel needs to build, run and test. Run as root.
# The pages render in the system's Chromium (package chromium-headless-shell,
# the automation build; chromium serves as well), which the
# distribution's security updates keep current; nothing links a web engine.
set -eu
[ "$(id -u)" -eq 0 ] || { echo "install-deps.sh: run this as root" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends \
  build-essential cmake ninja-build pkg-config git ccache \
  qt6-base-dev qt6-base-dev-tools chromium-headless-shell chromium \
  libcups2-dev cups cups-client cups-bsd cups-filters cups-ipp-utils \
  libqpdf-dev \
  libgtest-dev libgmock-dev googletest \
  fonts-liberation fonts-dejavu-core \
  poppler-utils xvfb xauth imagemagick x11-utils xdotool python3 \
  dpkg-dev lintian desktop-file-utils appstream \
  passwd util-linux
