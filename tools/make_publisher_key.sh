#!/usr/bin/env bash
# Makes a publisher key pair for signed kits:
#
#   tools/make_publisher_key.sh PRIVATE_KEY_FILE [BITS]
#
# writes the RSA private key (BITS: 3072, the default, or 4096) to
# PRIVATE_KEY_FILE, readable by its owner alone, and its public key beside
# it as PRIVATE_KEY_FILE.pub.pem, for LAUNCHER_PUBLISHER_KEY. Never
# overwrites a file. Keep the private key off the build machine (see the
# README's "A signed kit").
set -euo pipefail

private=${1:?usage: make_publisher_key.sh PRIVATE_KEY_FILE [3072|4096]}
bits=${2:-3072}
public="$private.pub.pem"
case "$bits" in
  3072|4096) ;;
  *) echo "make_publisher_key.sh: BITS must be 3072 or 4096, not $bits" >&2; exit 2 ;;
esac
for file in "$private" "$public"; do
  if [ -e "$file" ]; then
    echo "make_publisher_key.sh: $file exists; not overwritten" >&2
    exit 1
  fi
done
command -v openssl >/dev/null || { echo "make_publisher_key.sh: openssl is not installed" >&2; exit 1; }

# The key is born unreadable to others: the umask applies as it is created.
(umask 077 && openssl genpkey -quiet -algorithm RSA -pkeyopt "rsa_keygen_bits:$bits" -out "$private")
chmod 600 "$private"
openssl pkey -in "$private" -pubout -out "$public"
echo "private key: $private (mode 600; keep it offline, with a backup)"
echo "public key:  $public (for -DLAUNCHER_PUBLISHER_KEY=$public)"
