#!/usr/bin/env bash
# Writes and signs the manifest of a signed kit:
#
#   tools/sign_kit.sh [--no-check] KIT_DIR PRIVATE_KEY VERSION [PRODUCT_CODE]
#
# KIT_DIR holds data.exe and, where the product has them, setup.iss and
# uninstall.iss. Writes KIT_DIR/kit.manifest (the SHA-256 and size of each
# of those files, the product code and VERSION, dotted numbers) and
# KIT_DIR/kit.manifest.sig, its RSA PKCS#1 v1.5 SHA-256 signature with
# PRIVATE_KEY (openssl dgst -sha256 -sign). PRODUCT_CODE defaults to the
# build's default, {7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}; it must be the
# launcher's LAUNCHER_PRODUCT_CODE. Sign on the machine that keeps the key,
# after the kit's files are final: any later change to them is refused.
#
# Before it writes anything it checks the kit (tools/check_kit.sh
# --unsigned, with PRODUCT_CODE) and stops on an error, naming it;
# --no-check signs all the same, for one who knows better.
set -euo pipefail

usage="usage: sign_kit.sh [--no-check] KIT_DIR PRIVATE_KEY VERSION [PRODUCT_CODE]"
check=yes
if [ "${1:-}" = --no-check ]; then
  check=no
  shift
fi
kit=${1:?$usage}
key=${2:?$usage}
version=${3:?$usage}
product=${4:-"{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}"}

fail() { echo "sign_kit.sh: $*" >&2; exit 1; }
command -v openssl >/dev/null || fail "openssl is not installed"
[ -f "$kit/data.exe" ] || fail "$kit has no data.exe"
[ -f "$key" ] || fail "no private key at $key"
number='(0|[1-9][0-9]{0,8})'
[[ "$version" =~ ^$number(\.$number){0,3}$ ]] ||
  fail "VERSION must be dotted numbers, 1 to 4, each of up to 9 digits without leading zeros: $version"
[[ "$product" =~ ^[!-~]{1,64}$ ]] || fail "PRODUCT_CODE must be 1 to 64 printable characters without spaces"
bits=$(openssl pkey -in "$key" -noout -text 2>/dev/null | sed -n 's/^Private-Key: (\([0-9]*\) bit.*/\1/p')
[ "$bits" = 3072 ] || [ "$bits" = 4096 ] || fail "$key is not a 3072- or 4096-bit RSA private key"

if [ "$check" = yes ]; then
  findings=$(bash "$(dirname "$0")/check_kit.sh" --unsigned --product-code "$product" "$kit") || {
    status=$?
    [ "$status" -eq 1 ] || fail "the kit could not be checked (tools/check_kit.sh ended with $status)"
    grep '^error: ' <<<"$findings" >&2
    fail "the kit is in error (above); mend it, or sign with --no-check"
  }
  grep -v '^error: ' <<<"$findings" | sed '$d' >&2 || true
fi

manifest="$kit/kit.manifest"
{
  printf 'installer-launcher-kit 1\n'
  printf 'product %s\n' "$product"
  printf 'version %s\n' "$version"
  for name in data.exe setup.iss uninstall.iss; do
    [ -f "$kit/$name" ] || continue
    digest=$(openssl dgst -sha256 -r "$kit/$name" | cut -d' ' -f1)
    printf 'file %s %s %s\n' "$digest" "$(stat -c %s "$kit/$name")" "$name"
  done
} >"$manifest.new"
openssl dgst -sha256 -sign "$key" -out "$manifest.sig.new" "$manifest.new"
mv "$manifest.new" "$manifest"
mv "$manifest.sig.new" "$manifest.sig"
echo "signed $manifest (version $version, $bits-bit key):"
cat "$manifest"
