#!/usr/bin/env bash
# Runs every test: the logic on the simulated platform (with sanitizers),
# the shipped executable's properties, and whole runs under 64-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${TEST_PACKAGES[@]}"
jobs=$(nproc)
status=0
for preset in host windows-x86 windows-x64; do
  echo "==== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" || status=1
done
exit $status
