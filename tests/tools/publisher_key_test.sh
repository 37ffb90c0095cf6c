#!/usr/bin/env bash
# The configure-time checks of the signed-kit options: each bad setting
# fails configuring with its message; good keys give a header with each
# key's modulus. Configures the project (without tests) in scratch folders.
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
keys="$source_dir/tests/keys"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl genpkey -quiet -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/short.pem"
openssl pkey -in "$work/short.pem" -pubout -out "$work/short.pub.pem"
openssl genpkey -quiet -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$work/ec.pem"
openssl pkey -in "$work/ec.pem" -pubout -out "$work/ec.pub.pem"
mkdir "$work/kit" && echo MZ >"$work/kit/data.exe"

failures=0
run=0
# configure EXPECTED_TEXT OPTION... ("" expects success)
configure() {
  local expected=$1 output
  shift
  run=$((run + 1))
  output=$(cmake -S "$source_dir" -B "$work/build$run" -DBUILD_TESTING=OFF "$@" 2>&1)
  local result=$?
  if [ -z "$expected" ] && [ "$result" -eq 0 ]; then
    echo "ok:   configures with $*"
  elif [ -n "$expected" ] && [ "$result" -ne 0 ] && grep -q "$expected" <<<"$(tr -s ' \n' ' ' <<<"$output")"; then
    echo "ok:   refused ($expected): $*"
  else
    echo "FAIL: $* (expected ${expected:-success}):"
    echo "$output" | tail -8
    failures=$((failures + 1))
  fi
}

configure "holds a private key" "-DLAUNCHER_PUBLISHER_KEY=$keys/publisher.pem"
configure "not a 3072- or 4096-bit RSA key" "-DLAUNCHER_PUBLISHER_KEY=$work/short.pub.pem"
configure "is not an RSA public key" "-DLAUNCHER_PUBLISHER_KEY=$work/ec.pub.pem"
configure "names no file" "-DLAUNCHER_PUBLISHER_KEY=$work/missing.pem"
# The kit's data.exe is no program: its checks only warn, the refusal is the combination's.
configure "cannot be combined" "-DLAUNCHER_PUBLISHER_KEY=$keys/publisher.pem.pub.pem" "-DLAUNCHER_KIT=$work/kit" -DLAUNCHER_KIT_CHECK=OFF
configure "it must be dotted" "-DLAUNCHER_PUBLISHER_KEY=$keys/publisher.pem.pub.pem" "-DLAUNCHER_MIN_KIT_VERSION=2.01"
configure "only a signed-kit launcher" "-DLAUNCHER_MIN_KIT_VERSION=2"
configure "" "-DLAUNCHER_PUBLISHER_KEY=$keys/publisher.pem.pub.pem;$keys/backup.pem.pub.pem" "-DLAUNCHER_MIN_KIT_VERSION=3.1"
header="$work/build$run/pins/publisher_keys.h"
modulus=$(openssl rsa -pubin -in "$keys/backup.pem.pub.pem" -noout -modulus | cut -d= -f2 | tr 'A-F' 'a-f' | cut -c1-8)
if grep -q "0x${modulus:0:2},0x${modulus:2:2},0x${modulus:4:2},0x${modulus:6:2}," "$header" &&
   grep -q 'kPublisherKeys, 2u, "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}", "3.1"' "$header" &&
   grep -q '512u, 65537u' "$header"; then
  echo "ok:   the header holds both keys, the product code and the floor"
else
  echo "FAIL: the header is not as expected:"; head -20 "$header"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
