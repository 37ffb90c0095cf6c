#!/usr/bin/env bash
# tools/check_kit.sh's exit codes, and the configure step that refuses a
# pinned kit in error unless LAUNCHER_KIT_CHECK is OFF.
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# expect WHAT EXPECTED_STATUS ACTUAL_STATUS
expect() {
  if [ "$2" -eq "$3" ]; then echo "ok:   $1"; else echo "FAIL: $1 (exit $3, not $2)"; failures=$((failures + 1)); fi
}
# A 32-bit x86 program's headers, without sections: e_lfanew 0x40, a
# 224-byte optional header (PE32).
pe() {
  printf 'MZ'; head -c 58 /dev/zero; printf '\x40\0\0\0PE\0\0\x4c\x01'
  head -c 14 /dev/zero; printf '\xe0\0\x02\x01\x0b\x01'; head -c 222 /dev/zero
}
mkdir "$work/kit"
pe >"$work/kit/data.exe"
printf '[InstallShield Silent]\r\nFile=Response File\r\n' >"$work/kit/setup.iss"
{ cat "$work/kit/setup.iss"; printf '[{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}-DlgOrder]\r\n'; } >"$work/kit/uninstall.iss"

bash "$source_dir/tools/check_kit.sh" "$work/kit" >/dev/null
expect "a clean kit passes" 0 $?
cmake -S "$source_dir" -B "$work/clean" -DBUILD_TESTING=OFF -DLAUNCHER_KIT="$work/kit" >/dev/null 2>&1
expect "a clean pinned kit configures" 0 $?

printf 'not a program' >"$work/kit/data.exe"
bash "$source_dir/tools/check_kit.sh" "$work/kit" >/dev/null
expect "a kit in error fails" 1 $?
output=$(cmake -S "$source_dir" -B "$work/broken" -DBUILD_TESTING=OFF -DLAUNCHER_KIT="$work/kit" 2>&1)
expect "a pinned kit in error does not configure" 1 $?
tr -s ' \n' ' ' <<<"$output" | grep -q 'error: data.exe: not a Windows program.*-DLAUNCHER_KIT_CHECK=OFF'
expect "the refusal names the error and the switch" 0 $?
cmake -S "$source_dir" -B "$work/broken" -DBUILD_TESTING=OFF -DLAUNCHER_KIT="$work/kit" -DLAUNCHER_KIT_CHECK=OFF >/dev/null 2>&1
expect "LAUNCHER_KIT_CHECK=OFF configures it all the same" 0 $?
[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
