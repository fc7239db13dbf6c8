#!/bin/bash
# Builds and runs every benchmark in bench/ and prints what each measured.
# The end-to-end ones need what scripts/test.sh sets up: cupsd running and the
# PDF printer installed. Run as an ordinary user for the printer benchmarks
# (the printer writes no files for root).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENDREL_TESTS=OFF -DQUENDREL_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)"
# The printer writes no files for root: as root, run them as the test user.
run=()
[ "$(id -u)" -ne 0 ] || run=(scripts/as-test-user)
# Every method renders with the system's Chromium, and save_run_bench times
# Chromium's own PDF printing beside the tool's.
if [ "$(id -u)" -eq 0 ] && [ ! -x /usr/bin/chromium ]; then
  apt-get install -y --no-install-recommends chromium || echo "(chromium could not be installed)"
fi
for bench in build-bench/bench/*_bench; do
  echo "== $(basename "$bench")"
  "${run[@]}" "$bench" || echo "(failed: $?)"
done
