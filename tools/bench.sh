#!/usr/bin/env bash
# Benchmarks, not tests, printed side by side from one run under 64-bit Wine:
#   deletion  DeleteFolderTree against "cmd /c rmdir /s /q" on identical
#             generated trees (100 folders of 50 files), alternating, medians
#             and their ratio;
#   start-up  the launcher with nothing to remove, from its start until it has
#             ended, against starting the same stand-in data.exe directly;
#   size      of build/windows-x86/launcher.exe.
#
#   tools/bench.sh [delete|startup|size]...   (default: all three)
#
# Builds the windows-x86 and windows-x64 presets first. The timings are taken
# inside one Windows program, so neither tree generation nor that program's
# own start-up is in the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${TEST_PACKAGES[@]}"
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(delete startup size)
for preset in windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" >/dev/null
done

# The Wine prefix helpers of the end-to-end tests.
. tests/wine/lib.sh
find_wine
WORK=$(mktemp -d "${TMPDIR:-/tmp}/launcher-bench.XXXXXX")
trap cleanup EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
boot_prefix "$WORK/prefix64" win64
use_prefix "$WORK/prefix64" win64
bench_dir=$DRIVE_C/bench
mkdir -p "$bench_dir/trees" "$bench_dir/kit"
cp build/windows-x64/test_programs/bench.exe "$bench_dir/"
cp build/windows-x64/launcher.exe "$bench_dir/kit/"
cp build/windows-x64/test_programs/stand_in.exe "$bench_dir/kit/data.exe"

bench() {
  run_in "$DRIVE_C" 'C:\bench\bench.exe' "$@" || true
  [ "$RUN_STATUS" -eq 0 ] || status=1
  echo "$RUN_OUTPUT"
  wait_prefix
}

echo "wine: $("$WINE64" --version), build: windows-x64 (the shipped build is 32-bit; this kernel has no 32-bit Wine)"
status=0
for part in "${parts[@]}"; do
  case $part in
    delete)
      echo "== deletion: DeleteFolderTree against cmd /c rmdir /s /q"
      bench delete 'C:\bench\trees' 100 50 5 ;;
    startup)
      echo "== start-up: launcher with nothing to remove against data.exe alone"
      bench startup 'C:\bench\kit\launcher.exe' 'C:\bench\kit\data.exe' 21 ;;
    size)
      echo "== size"
      for build in windows-x86 windows-x64; do
        printf '%s/launcher.exe: %s bytes\n' "build/$build" \
          "$(stat -c %s "build/$build/launcher.exe")"
      done ;;
    *) echo "unknown part: $part" >&2; exit 2 ;;
  esac
done
exit $status
