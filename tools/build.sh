#!/usr/bin/env bash
# Builds the shipped launcher, build/windows-x86/launcher.exe, and prints its
# size and SHA-256 (the same for every build of the same sources with the
# same toolchain, unless it is signed with a timestamp). With a pinned kit
# (-DLAUNCHER_KIT=folder) it also assembles build/windows-x86/kit and prints
# its SHA256SUMS.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake --preset windows-x86 "$@"
cmake --build --preset windows-x86 -j "$(nproc)"
ls -l build/windows-x86/launcher.exe
sha256sum build/windows-x86/launcher.exe
if grep -q '^LAUNCHER_KIT:PATH=.' build/windows-x86/CMakeCache.txt; then
  cmake --build --preset windows-x86 --target kit
  cat build/windows-x86/kit/SHA256SUMS
fi
