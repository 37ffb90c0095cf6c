#!/usr/bin/env bash
# Benchmarks, not tests, printed side by side from one run under Wine, for
# the shipped 32-bit build on 64-bit and on 32-bit Windows and for the 64-bit
# build on 64-bit Windows:
#   deletion  DeleteFolderTree against "cmd /c rmdir /s /q" on identical
#             generated trees (100 folders of 50 files), alternating, medians
#             and their ratio;
#   start-up  the launcher with nothing to remove, from its start until it has
#             ended, against starting the same stand-in data.exe directly;
#   pinned    the same start-up of a launcher pinned to a 512 MiB data.exe
#             (the stand-in with random bytes appended after its image), which
#             it hashes first, against an unpinned launcher beside a copy of
#             that file, alternating, medians, their ratio and difference; each
#             run must have started its data.exe (build/bench-pinned-<x86|x64>
#             holds the pinned launcher's build); then that difference, the
#             extra start-up per GiB (Wine runs the launcher as an
#             administrator: it copies the kit into its cache as it hashes),
#             against the time "cp" followed by "openssl dgst -sha256" take
#             for the same file on the host (median of 5, hot page cache), as
#             their time over the extra start-up, with openssl's alone;
#   signature the signed-kit launcher's signature check (the manifest's
#             SHA-256 and the RSA verification, test_programs/signature_bench)
#             of a kit signed with a 3072-bit and with a 4096-bit test key,
#             as the launcher makes it (CNG, else CryptoAPI), and through CNG
#             and CryptoAPI alone, medians of 21 rounds, beside the
#             launcher's whole start-up (the startup part's median, when it
#             ran);
#   size      of each build's launcher.exe and of its signed-kit build
#             (test_programs/signed_launcher.exe);
# and, on the host alone, without Wine:
#   hash      the launcher's SHA-256 (tools/hash_bench.cpp, from a release
#             tree of its own, build/bench-host), once with the portable code
#             and once with the SHA extensions (where the CPU has them),
#             against "openssl dgst -sha256" and sha256sum on the same 256 MiB
#             of random bytes, all from a hot page cache, as ratios of their
#             times, one line for each engine; the digests must agree.
#
#   tools/bench.sh [hash|delete|startup|pinned|signature|size]...   (default: all six)
#
# Builds the windows-x86 and windows-x64 presets first unless hash is the only
# part. The Wine timings are taken inside one Windows program, so neither tree
# generation nor that program's own start-up is in the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(hash delete startup pinned signature size)
status=0
summary=""
timed=()
windows=0
for part in "${parts[@]}"; do
  case $part in
    hash) ;;
    delete|startup|pinned|signature) timed+=("$part"); windows=1 ;;
    size) windows=1 ;;
    *) echo "unknown part: $part" >&2; exit 2 ;;
  esac
done

# Not "finish": tests/wine/lib.sh, sourced below, has its own.
conclude() {
  if [ -n "$summary" ]; then
    echo "== side by side"
    printf '%s' "$summary"
  fi
  exit $status
}

# elapsed START: the seconds since START, an $EPOCHREALTIME reading.
elapsed() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }'; }
# rate SECONDS: the throughput over the hashed file, in MB/s.
rate() { awk -v s="$1" -v n="$hash_bytes" 'BEGIN { printf "%.0f", n / s / 1e6 }'; }

# ratio A B: A over B, to two places.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'; }

# hash_bench times itself from opening the file to the digest; openssl and
# sha256sum are timed from outside, their few milliseconds of start-up
# included.
bench_hash() {
  echo "== hash: the launcher's SHA-256, each engine, against openssl dgst -sha256 and sha256sum"
  ensure_packages cmake make g++ coreutils openssl
  cmake -S . -B build/bench-host -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build build/bench-host --target hash_bench -j "$(nproc)" >/dev/null
  hash_dir=$(mktemp -d "${TMPDIR:-/tmp}/launcher-hash.XXXXXX")
  trap 'rm -rf "$hash_dir"' EXIT
  hash_bytes=268435456
  local file=$hash_dir/random start engine ours ours_s ssl ssl_s sums sums_s line
  head -c "$hash_bytes" /dev/urandom >"$file"
  cat "$file" >/dev/null
  start=$EPOCHREALTIME
  ssl=$(openssl dgst -sha256 -r "$file")
  ssl_s=$(elapsed "$start")
  start=$EPOCHREALTIME
  sums=$(sha256sum "$file")
  sums_s=$(elapsed "$start")
  echo "openssl:    ${ssl%% *}"
  echo "sha256sum:  ${sums%% *}"
  for engine in portable sha-extensions; do
    if ! ours=$(build/bench-host/hash_bench "$engine" "$file" 2>&1); then
      echo "hash_bench $engine: $ours"
      continue
    fi
    read -r ours ours_s <<<"$ours"
    echo "hash_bench $engine: $ours"
    if [ "$ours" != "${ssl%% *}" ] || [ "$ours" != "${sums%% *}" ]; then
      echo "the digests differ"
      status=1
    fi
    line=$(printf 'ratio hash_bench %s time to openssl: %s, to sha256sum: %s (hash_bench %s s, %s MB/s; openssl %s s, %s MB/s; sha256sum %s s, %s MB/s)' \
      "$engine" "$(ratio "$ours_s" "$ssl_s")" "$(ratio "$ours_s" "$sums_s")" \
      "$ours_s" "$(rate "$ours_s")" "$ssl_s" "$(rate "$ssl_s")" "$sums_s" "$(rate "$sums_s")")
    echo "$line"
    summary+="host: $line"$'\n'
  done
  rm -rf "$hash_dir"
  trap - EXIT
}

if [[ " ${parts[*]} " == *" hash "* ]]; then bench_hash; fi
[ "$windows" -eq 1 ] || conclude

ensure_packages "${TEST_PACKAGES[@]}"
for preset in windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" >/dev/null
done

# The Wine prefix helpers of the end-to-end tests.
. tests/wine/lib.sh
find_wine
WORK=$(mktemp -d "${TMPDIR:-/tmp}/launcher-bench.XXXXXX")
# Not under errexit: its "wineserver -k" fails for a prefix whose server has
# already ended, which would turn the exit code into 1.
trap 'cleanup || true' EXIT
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
  cp "build/$build/test_programs/bench.exe" "build/$build/test_programs/signature_bench.exe" "$bench_dir/"
  cp "build/$build/launcher.exe" "$bench_dir/kit/"
  cp "build/$build/test_programs/stand_in.exe" "$bench_dir/kit/data.exe"
}

pinned_mib=512
# pin BUILD: the data.exe of a setting of BUILD in $WORK/kit-BUILD, and
# a launcher of BUILD pinned to it in build/bench-pinned-<x86|x64>.
pin() {
  local build=$1 kit=$WORK/kit-$1 dir=build/bench-pinned-${1#windows-}
  [ -f "$kit/data.exe" ] && return
  mkdir -p "$kit"
  cp "build/$build/test_programs/stand_in.exe" "$kit/data.exe"
  head -c $((pinned_mib * 1024 * 1024 - $(stat -c %s "$kit/data.exe"))) /dev/urandom >>"$kit/data.exe"
  cmake --preset "$build" -B "$dir" -DLAUNCHER_KIT="$kit" -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$dir" --target launcher -j "$(nproc)" >/dev/null
}

# C:\bench\pinned and C:\bench\unpinned: each a launcher beside a copy of the
# data.exe of this setting's build.
prepare_pinned() {
  local build=$1 kit
  pin "$build"
  for kit in pinned unpinned; do
    mkdir -p "$bench_dir/$kit"
    cp "$WORK/kit-$build/data.exe" "$bench_dir/$kit/"
  done
  cp "build/bench-pinned-${build#windows-}/launcher.exe" "$bench_dir/pinned/"
  cp "build/$build/launcher.exe" "$bench_dir/unpinned/"
}

# bench SETTING ARGUMENT...: one measurement, its lines printed and kept.
bench() {
  local setting=$1
  shift
  run_in "$DRIVE_C" 'C:\bench\bench.exe' "$@" || true
  [ "$RUN_STATUS" -eq 0 ] || status=1
  echo "$RUN_OUTPUT"
  # A failed measurement has no ratio line; the other settings still run.
  local ratios
  ratios=$(grep '^ratio' <<<"$RUN_OUTPUT" | sed "s/^/$setting: /" || true)
  [ -z "$ratios" ] || summary+=$ratios$'\n'
  wait_prefix
}

# against_openssl SETTING FILE: the extra start-up per GiB of the last pinned
# run against what the host takes for FILE, per GiB: openssl's hash alone,
# and a copy (cp) followed by that hash, the two passes the launcher's one
# pass over the kit replaces (Wine runs it as an administrator, so it copies
# the kit into its cache as it hashes).
against_openssl() {
  local extra start i openssl_s both_s line copy=$WORK/copy.bin
  extra=$(sed -n 's/^extra start-up per GiB: \([-0-9.]*\) s$/\1/p' <<<"$RUN_OUTPUT")
  [ -n "$extra" ] || return 0
  cat "$2" >/dev/null
  local hashes=() copies=()
  for i in 1 2 3 4 5; do
    start=$EPOCHREALTIME
    openssl dgst -sha256 "$2" >/dev/null
    hashes+=("$(elapsed "$start")")
    rm -f "$copy"
    start=$EPOCHREALTIME
    cp "$2" "$copy" && openssl dgst -sha256 "$2" >/dev/null
    copies+=("$(elapsed "$start")")
  done
  rm -f "$copy"
  openssl_s=$(per_gib "$2" "${hashes[@]}")
  both_s=$(per_gib "$2" "${copies[@]}")
  line=$(printf 'ratio (cp + openssl)/pinned extra time: %s (extra start-up %s s per GiB, cp + openssl %s s, openssl alone %s s)' \
    "$(ratio "$both_s" "$extra")" "$extra" "$both_s" "$openssl_s")
  echo "$line"
  summary+="$1: $line"$'\n'
}
# per_gib FILE SECONDS...: the median of the times, per GiB of FILE.
per_gib() {
  local file=$1
  shift
  printf '%s\n' "$@" | sort -n | sed -n 3p |
    awk -v n="$(stat -c %s "$file")" '{ printf "%.3f", $1 * 1073741824 / n }'
}

# signature_bench SETTING: the signature check of kits signed with each test
# key: as the launcher makes it, and through CNG and CryptoAPI alone.
signature_bench() {
  local setting=$1 key verifier line bits
  for key in publisher backup; do
    mkdir -p "$bench_dir/signed-$key"
    cp "$bench_dir/kit/data.exe" "$bench_dir/signed-$key/"
    bash tools/sign_kit.sh "$bench_dir/signed-$key" "tests/keys/$key.pem" 1.0 >/dev/null
    bits=$(openssl pkey -in "tests/keys/$key.pem" -noout -text | sed -n 's/^Private-Key: (\([0-9]*\) bit.*/\1/p')
    for verifier in launcher cng cryptoapi; do
      run_in "$DRIVE_C" 'C:\bench\signature_bench.exe' "$verifier" \
        "C:\\bench\\signed-$key\\kit.manifest" "C:\\bench\\signed-$key\\kit.manifest.sig" 21 || true
      grep -qx 'verdict: valid' <<<"$RUN_OUTPUT" || status=1
      line="signature check, $bits-bit key, $verifier: $(paste -sd' ' <<<"$RUN_OUTPUT")"
      [ -z "${startup_median:-}" ] || line+="; the launcher's whole start-up: $startup_median"
      echo "$line"
      summary+="$setting: $line"$'\n'
      wait_prefix
    done
  done
}

echo "wine: $("$WINE64" --version)"
for setting in "${settings[@]}"; do
  [ ${#timed[@]} -gt 0 ] || break
  read -r build arch <<<"$setting"
  name="$build build, $arch prefix"
  prepare "$build" "$arch"
  for part in "${timed[@]}"; do
    case $part in
      delete)
        echo "== $name: DeleteFolderTree against cmd /c rmdir /s /q"
        bench "$name" delete 'C:\bench\trees' 100 50 5 ;;
      startup)
        echo "== $name: launcher with nothing to remove against data.exe alone"
        bench "$name" startup 'C:\bench\kit\launcher.exe' 'C:\bench\kit\data.exe' 21
        startup_median=$(sed -n 's/^median launcher, start to end: *//p' <<<"$RUN_OUTPUT") ;;
      signature)
        echo "== $name: the signed-kit launcher's signature check"
        signature_bench "$name" ;;
      pinned)
        echo "== $name: launcher pinned to a $pinned_mib MiB data.exe against an unpinned one, and openssl"
        prepare_pinned "$build"
        bench "$name" pinned 'C:\bench\pinned\launcher.exe' \
          'C:\bench\unpinned\launcher.exe' 'C:\bench\records.log' 7
        against_openssl "$name" "$WORK/kit-$build/data.exe" ;;
    esac
  done
done
if [[ " ${parts[*]} " == *" size "* ]]; then
  echo "== size"
  for build in windows-x86 windows-x64; do
    printf 'build/%s/launcher.exe: %s bytes\n' "$build" \
      "$(stat -c %s "build/$build/launcher.exe")"
    printf 'build/%s/test_programs/signed_launcher.exe (signed-kit build): %s bytes\n' "$build" \
      "$(stat -c %s "build/$build/test_programs/signed_launcher.exe")"
  done
fi
conclude
