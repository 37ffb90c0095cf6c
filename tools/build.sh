#!/usr/bin/env bash
# Builds the shipped launcher: build/windows-x86/launcher.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake --preset windows-x86 "$@"
cmake --build --preset windows-x86 -j "$(nproc)"
ls -l build/windows-x86/launcher.exe
