#!/usr/bin/env bash
# A build configured with the signing options, offline, with a throwaway
# certificate:
#
#   signing.sh SOURCE_DIR
#
# Checks: the password reaches neither the build folder nor osslsigncode's
# command line; the signature verifies against that certificate and bears
# the fixed signing time; every property check of the executable still
# holds; one changed byte makes verification fail; a failed signing (a new,
# wrong password) fails the build and leaves no unsigned launcher.exe behind;
# turning signing off gives an unsigned file.
set -uo pipefail
source=${1:?usage: signing.sh SOURCE_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0
pass() { printf 'ok:   %s\n' "$1"; }
fail() { printf 'FAIL: %s\n' "$1"; failures=$((failures + 1)); }

openssl rand -hex 16 >password
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Launcher test signer" \
  -addext extendedKeyUsage=codeSigning -keyout key.pem -out cert.pem 2>/dev/null &&
  openssl pkcs12 -export -inkey key.pem -in cert.pem -passout file:password -out signer.p12 ||
  { echo "FAIL: no certificate"; exit 1; }
# osslsigncode as the build runs it, its arguments recorded.
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/arguments"\nexec osslsigncode "$@"\n' \
  "$work" >osslsigncode && chmod +x osslsigncode

# build PKCS12: configures (signing with PKCS12, or not when empty) and builds.
build() {
  (cd "$source" && cmake --preset windows-x86 -B "$work/build" -DLAUNCHER_SIGN_PKCS12="$1" \
    -DLAUNCHER_SIGN_PASSWORD_FILE="$work/password" -DLAUNCHER_OSSLSIGNCODE="$work/osslsigncode" \
    >/dev/null) && cmake --build build --target launcher -j 2 >build.log 2>&1
}
exe=$work/build/launcher.exe
export SOURCE_DATE_EPOCH=1700000000 # Nov 14 22:13:20 2023 GMT
build "$work/signer.p12" || { cat build.log; echo "FAIL: the signed build failed"; exit 1; }

if ! grep -qx -- -readpass arguments; then
  fail "osslsigncode was not run with -readpass"
elif grep -rqF -f password build arguments; then
  fail "the password is in the build folder or on osslsigncode's command line"
else
  pass "the password is only in its file"
fi

verify() { osslsigncode verify -CAfile cert.pem -TSA-CAfile cert.pem -in "$1"; }
if verify "$exe" >verify.log 2>&1; then
  pass "the signature verifies against the throwaway certificate"
else
  cat verify.log
  fail "the signature does not verify"
fi
if grep -q "Signing time: Nov 14 22:13:20 2023 GMT" verify.log; then
  pass "the signing time is SOURCE_DATE_EPOCH"
else
  fail "the signing time is not SOURCE_DATE_EPOCH: $(grep 'Signing time' verify.log)"
fi

bash "$source/tests/pe/check_pe.sh" "$exe" PE32 "$source/res/launcher.ico" default none >check_pe.log ||
  { cat check_pe.log; fail "property checks on the signed file"; }
grep -q "all checks passed" check_pe.log && pass "every property check holds on the signed file"

# One byte of the code, flipped.
cp "$exe" tampered.exe
offset=1536
byte=$(od -An -tu1 -j$offset -N1 tampered.exe | tr -d ' ')
printf "$(printf '\\%03o' $((byte ^ 0xff)))" |
  dd of=tampered.exe bs=1 seek=$offset conv=notrunc status=none
if verify tampered.exe >/dev/null 2>&1; then
  fail "a file with one byte changed still verifies"
else
  pass "one byte changed: verification fails"
fi

cp password good_password
echo wrong >password
if cmake --build build --target launcher >/dev/null 2>&1; then
  fail "a wrong password in the password file does not fail the build"
elif [ -e "$exe" ]; then
  fail "a failed signing left launcher.exe behind"
else
  pass "a failed signing fails the build and leaves no launcher.exe"
fi

cp good_password password
if cmake --build build --target launcher >/dev/null 2>&1 && build "" &&
  objdump -p "$exe" | grep 'Entry 4 00000000 00000000 Security Directory' >/dev/null; then
  pass "signing turned off: an unsigned launcher.exe"
else
  fail "signing turned off: no unsigned launcher.exe"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
