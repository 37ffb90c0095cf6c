#!/usr/bin/env bash
# Whole runs under Wine of a signed-kit launcher: one build of
# test_programs/signed_launcher.exe (trusting tests/keys/publisher and
# tests/keys/backup, kits from version 2.0 on) starts two different
# releases, each with its own data.exe, setup.iss and signed manifest, from
# a verified copy in its cache (Wine runs every process as an
# administrator), and refuses each kit that fails a check: nothing removed,
# nothing started. Both of Windows' verifiers, CNG and CryptoAPI, are also
# asked on their own.

# The kits are signed here, with openssl, before the suite may move into the
# private root, which has no openssl: in a folder of the build per prefix
# and emulation, since the suites of one build run side by side.
KITS="${LAUNCHER_BUILD_DIR:?}/signed_kits_${LAUNCHER_WINE_PREFIX:-win64}_wine${LAUNCHER_WINE_EMULATION:-8}"
if [ -z "${LAUNCHER_WINE_ENVIRONMENT:-}" ]; then
  project=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  keys=$project/tests/keys
  stand_in=$LAUNCHER_BUILD_DIR/test_programs/stand_in.exe
  product=${LAUNCHER_PRODUCT_CODE:-'{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}'}
  [ -f "$stand_in" ] || { echo "FAIL: no $stand_in; build first"; exit 1; }
  rm -rf "$KITS" && mkdir -p "$KITS"
  # make_kit NAME DATA_SUFFIX KEY VERSION [PRODUCT]: data.exe the stand-in
  # with DATA_SUFFIX appended (another file, the same program); the kit
  # no_setup has no setup.iss, and its manifest names none. The response
  # files are the stand-in's, no installer's: signed unchecked (--no-check).
  make_kit() {
    local kit=$KITS/$1
    mkdir -p "$kit"
    { cat "$stand_in"; printf '%s' "$2"; } >"$kit/data.exe"
    printf '[%s answers]\r\n' "$2" >"$kit/setup.iss"
    printf '[%s uninstall answers]\r\n' "$2" >"$kit/uninstall.iss"
    [ "$1" != no_setup ] || rm "$kit/setup.iss"
    bash "$project/tools/sign_kit.sh" --no-check "$kit" "$keys/$3.pem" "$4" "${5:-$product}" >/dev/null ||
      { echo "FAIL: cannot sign the test kit $1"; exit 1; }
  }
  make_kit release1 "release 1" publisher 2.1
  make_kit release2 "release 2" backup 3.0
  make_kit other_key "release 1" other 2.1
  make_kit other_product "release 1" publisher 2.1 '{00000000-1111-2222-3333-444444444444}'
  make_kit below_floor "release 1" publisher 1.9.9
  make_kit no_setup "release 1" publisher 2.1
fi

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/planted_manifest.sh"

wine_suite_start
harness_check
[ -f "$BUILD/test_programs/signed_launcher.exe" ] || die "no signed_launcher.exe in $BUILD"
[ -f "$KITS/release1/kit.manifest.sig" ] || die "the signed test kits are missing: $KITS"

KIT='C:\Kit'
M=$(maintenance_folder_for "$DEFAULT_BITS")
mkdir -p "$DRIVE_C/work"
CONTROL='C:\control'
export STANDIN_CONTROL=$CONTROL
# The caches' parent: the Windows folder's SystemTemp where the prefix has
# one (its owner and DACL pass every check under Wine), else the launcher's
# own folder beside it.
CACHES='C:\windows\InstallerLauncherKits'
[ -d "$DRIVE_C/windows/SystemTemp" ] && CACHES='C:\windows\SystemTemp'
CACHE_PATTERN="${CACHES//\\/\\\\}\\\\InstallerLauncherKit-[0-9a-f]{16}"
started_cache() { started_modules | sed -n 's/\\data\.exe$//p' | grep -Ex "$CACHE_PATTERN"; }

# use_kit NAME: the kit folder holds the signed launcher and the kit NAME.
use_kit() {
  rm -rf "$(unix_of "$KIT")"
  mkdir -p "$(unix_of "$KIT")"
  cp "$BUILD/test_programs/signed_launcher.exe" "$(unix_of "$KIT\\setup.exe")"
  cp "$KITS/$1"/* "$(unix_of "$KIT")"
}
plant_previous() {
  rm -rf "$(unix_of "$M")"
  put_stand_in "$M\\setup.exe"
  put_file "$M\\layout.bin" "layout"
}

# accepted NAME [WHAT]: the release starts from a verified copy in its
# cache after the previous version's removal.
accepted() {
  local release=$1
  use_kit "$release"
  plant_previous
  reset_log
  launch "$DRIVE_C/work" "$KIT\\setup.exe" /s
  check_launch_status
  local cache
  cache=$(started_cache)
  check_started "$release: setup.exe, then data.exe from a cache" \
    "$M\\setup.exe" "${cache:-$CACHES\\InstallerLauncherKit-*}\\data.exe"
  check "$release: the cache's data.exe is the release's" \
    cmp -s "$KITS/$release/data.exe" "$(unix_of "${cache:-none}\\data.exe")"
  check "$release: the cache keeps the verified manifest" \
    cmp -s "$KITS/$release/kit.manifest" "$(unix_of "${cache:-none}\\kit.manifest")"
  check_eq "$release: data.exe reads the release's setup.iss" \
    "$(hex_of "$KITS/$release/setup.iss")" "$(record_field answers "$cache\\data.exe" 5)"
  check_eq "$release: setup.exe finds the release's uninstall.iss staged" \
    "$(hex_of "$KITS/$release/uninstall.iss")" "$(record_field start "$M\\setup.exe" 7)"
  check "$release: the maintenance folder is deleted" test ! -e "$(unix_of "$M")"
}

caches() { ls "$(unix_of "$CACHES")" 2>/dev/null | grep InstallerLauncherKit-; }

# refused WHAT: the kit in place now is refused, whatever else is there.
# Earlier runs' caches, which only wait for the restart, go first.
refused() {
  plant_previous
  rm -rf "$(unix_of "$CACHES")"/InstallerLauncherKit-*
  local planted
  planted=$(tree_of "$(unix_of "$M")")
  reset_log
  launch "$DRIVE_C/work" "$KIT\\setup.exe" /s
  check_launch_status
  check_started "$1: nothing starts"
  check_eq "$1: the maintenance folder stays as planted" "$planted" \
    "$(tree_of "$(unix_of "$M")" 2>/dev/null)"
  check_eq "$1: no cache is made" "" "$(caches)"
}

# ---- Two releases, one launcher ----
section "release 1 (publisher key, 3072 bits) and release 2 (backup key, 4096 bits)"
accepted release1
accepted release2
section "a manifest beside the launcher naming the DLLs builds load"
use_kit release1
plant_previous
plant_manifest "$KIT\\setup.exe"
reset_log
launch "$DRIVE_C/work" "$KIT\\setup.exe" /s
check_launch_status
check_planted_ignored "$M"

section "a manifest signed with another key"
use_kit other_key
refused "another key"

# ---- Each verifier on its own ----
# The launcher asks CNG and, only where CNG gives no verdict, CryptoAPI.
# Wine's CNG verifies RSA through GnuTLS, where that is installed; its
# CryptoAPI provider (rsaenh) does RSA itself but hashes through bcrypt.dll.
# So each is asked here on its own, through test_programs/signature_bench.
section "CNG and CryptoAPI, each on its own"
mkdir -p "$DRIVE_C/probe/changed"
cp "$BUILD/test_programs/signature_bench.exe" "$DRIVE_C/probe/"
cp "$KITS/release1/kit.manifest" "$KITS/release1/kit.manifest.sig" "$DRIVE_C/probe/changed/"
sed -i 's/^version 2.1$/version 2.2/' "$DRIVE_C/probe/changed/kit.manifest"
verdict_of() {
  run_in "$DRIVE_C" 'C:\probe\signature_bench.exe' "$1" "$2\\kit.manifest" "$2\\kit.manifest.sig" 1
  sed -n 's/^verdict: //p' <<<"$RUN_OUTPUT"
}
for kit in release1:valid release2:valid other_key:invalid changed:invalid; do
  name=${kit%%:*} expected=${kit#*:}
  if [ "$name" = changed ]; then folder='C:\probe\changed'; else
    mkdir -p "$DRIVE_C/probe/$name"
    cp "$KITS/$name/kit.manifest" "$KITS/$name/kit.manifest.sig" "$DRIVE_C/probe/$name/"
    folder="C:\\probe\\$name"
  fi
  check_eq "$name: CryptoAPI's verdict" "$expected" "$(verdict_of cryptoapi "$folder")"
  cng=$(verdict_of cng "$folder")
  if [ "$cng" = unavailable ]; then
    note "$name: CNG gives no verdict here (no GnuTLS for this Wine); the launcher takes CryptoAPI's"
  else
    check_eq "$name: CNG's verdict" "$expected" "$cng"
  fi
done
wait_prefix

# Without bcrypt.dll Wine's CryptoAPI cannot hash either: nothing verifies,
# and the launcher refuses rather than run an unchecked kit.
section "bcrypt.dll kept from loading: the launcher fails closed"
use_kit release1
WINEDLLOVERRIDES="bcrypt=;mscoree=;mshtml=" refused "no verifier"

# ---- Each refusal ----
section "a changed byte in data.exe"
use_kit release1
data=$(unix_of "$KIT\\data.exe")
printf 'X' | dd of="$data" bs=1 seek=1000 conv=notrunc status=none
refused "a changed byte in data.exe"

section "a changed manifest"
use_kit release1
sed -i 's/^version 2.1$/version 2.2/' "$(unix_of "$KIT\\kit.manifest")"
refused "a changed manifest"

section "another product code"
use_kit other_product
refused "another product code"

section "a version below the floor"
use_kit below_floor
refused "version 1.9.9, below the floor 2.0"

section "a missing signature"
use_kit release1
rm "$(unix_of "$KIT\\kit.manifest.sig")"
refused "no kit.manifest.sig"

section "a missing setup.iss that the manifest names"
use_kit release1
rm "$(unix_of "$KIT\\setup.iss")"
refused "no setup.iss"

# Elevated, the cache holds only what the manifest names: a silent run
# would hand data.exe a setup.iss that is not there.
section "a manifest that names no setup.iss: silent refused, interactive run"
use_kit no_setup
refused "silent, no setup.iss"
plant_previous
reset_log
launch "$DRIVE_C/work" "$KIT\\setup.exe"
check_launch_status
cache=$(started_cache)
check_started "interactive: setup.exe, then data.exe from a cache" \
  "$M\\setup.exe" "${cache:-$CACHES\\InstallerLauncherKit-*}\\data.exe"

finish
