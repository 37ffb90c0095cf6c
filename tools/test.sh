#!/usr/bin/env bash
# Runs every test: the logic on the simulated platform (with sanitizers),
# the executables' properties, and whole runs under Wine: the shipped 32-bit
# build on 64-bit Windows (a win64 prefix) and on 32-bit Windows (a win32
# prefix), the 64-bit build on 64-bit Windows.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${TEST_PACKAGES[@]}"
# 32-bit Wine needs root once (packages, a binfmt_misc registration); where
# it cannot be had, the suites that need it report themselves skipped.
wine32=0
tools/wine32.sh || wine32=$?
[ "$wine32" -eq 0 ] || [ "$wine32" -eq 3 ] || exit "$wine32"
[ "$wine32" -eq 0 ] || echo "32-bit Wine: the Wine suites of the windows-x86 build are skipped"
jobs=$(nproc)
status=0
for preset in host windows-x86 windows-x64; do
  echo "==== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" || status=1
done
exit $status
