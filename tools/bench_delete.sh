#!/usr/bin/env bash
# Benchmark, not a test: under 64-bit Wine, times DeleteFolderTree against
# "cmd /c rmdir /s /q" on identical generated trees, alternating between the
# two for several rounds, and prints both medians and their ratio.
#
#   tools/bench_delete.sh [FOLDERS [FILES_PER_FOLDER [ROUNDS]]]
#
# Defaults: 100 folders of 50 files (5,000 files), 5 rounds. Builds nothing:
# build/windows-x64 must be built (cmake --build --preset windows-x64). The
# trees are generated and timed inside one Windows program, so neither the
# generation nor the start-up of that program is in the figures; the rmdir
# figure covers starting the command interpreter and waiting for it.
set -eu

folders=${1:-100}
files=${2:-50}
rounds=${3:-5}
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LAUNCHER_BUILD_DIR:-$source_dir/build/windows-x64}
bench=$build/test_programs/bench_delete.exe
if [ ! -f "$bench" ]; then
  echo "no $bench; build first: cmake --preset windows-x64 && cmake --build --preset windows-x64" >&2
  exit 1
fi

wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
[ -x "$wine64" ] || { echo "64-bit Wine is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-delete.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "wine: $("$wine64" --version); prefix $WINEPREFIX"
"$wine64" wineboot --init >"$work/wineboot.log" 2>&1
"$wineserver" -w
mkdir -p "$WINEPREFIX/drive_c/bench/trees"
cp "$bench" "$WINEPREFIX/drive_c/bench/"
echo "file system under the prefix: $(df -T "$WINEPREFIX" | awk 'NR == 2 { print $2 }')"
status=0
"$wine64" 'C:\bench\bench_delete.exe' 'C:\bench\trees' "$folders" "$files" "$rounds" \
  >"$work/bench.out" 2>&1 || status=$?
tr -d '\r' <"$work/bench.out"
"$wineserver" -w
exit "$status"
