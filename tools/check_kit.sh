#!/usr/bin/env bash
# Checks a kit folder before it ships, and changes nothing:
#
#   tools/check_kit.sh [--product-code CODE] [--public-key FILE]...
#                      [--min-version V] [--unsigned] KIT_DIR
#
# Prints one line per finding ("error: data.exe: what is wrong; what to
# do"), then a summary line; exits 0 when nothing is in error, 1 when
# something is, 2 for a bad command line, 3 when the checker cannot be
# built. CODE defaults to the build's default product code; each FILE is a
# publisher's public key (PEM) to check kit.manifest.sig with; V is a
# signed-kit launcher's LAUNCHER_MIN_KIT_VERSION; --unsigned leaves
# kit.manifest and its signature out (a pinned kit's configure step and
# tools/sign_kit.sh check so).
# The checker, check_kit, is built on first use, and again when its sources
# change, in build/check-kit; the build's output goes to
# build/check-kit/build.log.
set -euo pipefail
# Any failure of this script's own is "cannot be checked", never a finding.
trap 'exit 3' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
tree=$root/build/check-kit
mkdir -p "$tree"
# A make above this one (a configure run from a build) lends it no jobs, and
# a cross toolchain of the caller's is not the host's.
unset MAKEFLAGS MFLAGS MAKELEVEL CMAKE_TOOLCHAIN_FILE
build_checker() {
  . "$root/tools/deps.sh"
  ensure_packages "${CHECK_PACKAGES[@]}"
  [ -f "$tree/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$tree" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release
  cmake --build "$tree" --target check_kit -j "$(nproc)"
}
# One build at a time: configure runs of several trees may call this at once.
{
  flock 9
  build_checker >"$tree/build.log" 2>&1 ||
    { echo "check_kit.sh: cannot build the checker; see $tree/build.log" >&2; exit 3; }
} 9>"$tree/lock"
# Held shared while it runs, so that no other caller rebuilds it meanwhile.
exec 9<"$tree/lock"
flock -s 9
trap - ERR
exec "$tree/check_kit" "$@"
