#!/bin/bash
# Runs every test of Quendrel on Debian 12, as root: installs the packages,
# builds, starts the CUPS daemon, installs the PDF printer, then runs the unit
# tests, the end-to-end tests (real cupsd, backend, the system's Chromium,
# iecapt, pages on 127.0.0.1), the unit tests once more under ASan and UBSan,
# and last the Debian package: built, installed, upgraded and removed for real.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "test.sh: run this as root (it installs packages and a printer)" >&2; exit 1; }
jobs=$(nproc)

scripts/install-deps.sh >/dev/null
# Compiler output is cached between runs on the same machine, whatever folder
# the sources are in: a later run only compiles what changed.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENDREL_BENCH=OFF "${cache[@]}"
cmake --build build -j"$jobs"

scripts/start-cupsd.sh
scripts/install-printer.sh --with-test-queue build/bin/marrowby src/pdfprinter/marrowby-pdf-writer.ppd

status=0
(cd build && ctest -L unit --output-on-failure -j"$jobs") || status=1
(cd build && ctest -L e2e --output-on-failure) || status=1

# Qt and fontconfig keep caches for the life of the process; leak reports of
# those say nothing about this code, so only memory errors and UB fail here.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUENDREL_SANITIZE=ON -DQUENDREL_BENCH=OFF "${cache[@]}"
cmake --build build-asan -j"$jobs" --target unit_tests
(cd build-asan && ASAN_OPTIONS=detect_leaks=0:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest -L unit --output-on-failure -j"$jobs") || status=1

# Last, as it takes the printer away while it installs and removes the package.
scripts/check-package.sh build || status=1
exit $status
