#!/usr/bin/env bash
# Benchmarks, not tests, printed side by side from one run under Wine, for
# the shipped 32-bit build on 64-bit and on 32-bit Windows and for the 64-bit
# build on 64-bit Windows:
#   deletion  DeleteFolderTree against "cmd /c rmdir /s /q" on identical
#             generated trees (100 folders of 50 files), alternating, medians
#             and their ratio;
#   start-up  the launcher with nothing to remove, from its start until it has
#             ended, against starting the same stand-in data.exe directly;
#   size      of each build's launcher.exe.
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

# The settings measured, as "build prefix": the shipped 32-bit build on
# 64-bit and on 32-bit Windows, and the 64-bit build beside them.
settings=("windows-x64 win64")
missing=$(wine32_missing)
if [ -z "$missing" ]; then
  settings+=("windows-x86 win64" "windows-x86 win32")
else
  echo "the windows-x86 build is not measured: $missing (tools/wine32.sh sets it up)"
fi

# Prepares a prefix for one setting with C:\bench holding that build's
# benchmark program, its launcher and a stand-in data.exe beside it.
prepare() {
  local build=$1 arch=$2
  boot_prefix "$WORK/prefix-$build-$arch" "$arch"
  use_prefix "$WORK/prefix-$build-$arch" "$(pe_bits "build/$build/launcher.exe")"
  bench_dir=$DRIVE_C/bench
  mkdir -p "$bench_dir/trees" "$bench_dir/kit"
  cp "build/$build/test_programs/bench.exe" "$bench_dir/"
  cp "build/$build/launcher.exe" "$bench_dir/kit/"
  cp "build/$build/test_programs/stand_in.exe" "$bench_dir/kit/data.exe"
}

# bench SETTING ARGUMENT...: one measurement, its lines printed and kept.
bench() {
  local setting=$1
  shift
  run_in "$DRIVE_C" 'C:\bench\bench.exe' "$@" || true
  [ "$RUN_STATUS" -eq 0 ] || status=1
  echo "$RUN_OUTPUT"
  summary+=$(grep '^ratio' <<<"$RUN_OUTPUT" | sed "s/^/$setting: /")$'\n'
  wait_prefix
}

echo "wine: $("$WINE64" --version)"
status=0
summary=""
timed=()
for part in "${parts[@]}"; do
  case $part in
    delete|startup) timed+=("$part") ;;
    size) ;;
    *) echo "unknown part: $part" >&2; exit 2 ;;
  esac
done
for setting in "${settings[@]}"; do
  [ ${#timed[@]} -gt 0 ] || break
  read -r build arch <<<"$setting"
  name="$build build, $arch prefix"
  prepare "$build" "$arch"
  for part in "${timed[@]}"; do
    if [ "$part" = delete ]; then
      echo "== $name: DeleteFolderTree against cmd /c rmdir /s /q"
      bench "$name" delete 'C:\bench\trees' 100 50 5
    else
      echo "== $name: launcher with nothing to remove against data.exe alone"
      bench "$name" startup 'C:\bench\kit\launcher.exe' 'C:\bench\kit\data.exe' 21
    fi
  done
done
if [[ " ${parts[*]} " == *" size "* ]]; then
  echo "== size"
  for build in windows-x86 windows-x64; do
    printf 'build/%s/launcher.exe: %s bytes\n' "$build" \
      "$(stat -c %s "build/$build/launcher.exe")"
  done
fi
if [ -n "$summary" ]; then
  echo "== side by side"
  printf '%s' "$summary"
fi
exit $status
