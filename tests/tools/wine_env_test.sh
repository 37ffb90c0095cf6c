#!/usr/bin/env bash
# Where the Wine suites run (tools/wine_env.sh over the real tools/wine32.sh
# and tools/wine_root.sh): Wine 8 on the host, in its private root, or
# nowhere with the reason; Wine 10 in its private root or nowhere; and which
# of the two LAUNCHER_WINE asks for. The machine is played by stand-ins: apt, dpkg,
# debootstrap, chroot and mount first on PATH, and, in a mount namespace of
# this test alone, the binfmt_misc folder, qemu and the Wine loaders.
# Needs root; skipped (77) otherwise. Nothing on the host changes.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: needs root"; exit 77; }
[ -x /usr/bin/qemu-i386 ] && [ -d /usr/lib/wine ] ||
  { echo "SKIPPED: needs qemu-user and wine64 installed (files to stand in for)"; exit 77; }
if [ -z "${IN_NAMESPACE:-}" ]; then
  IN_NAMESPACE=1 exec unshare --mount --propagation private bash "$0"
fi
TOOLS=$(cd "$(dirname "$0")/../../tools" && pwd)
T=$(mktemp -d)
trap 'rm -rf --one-file-system "$T"' EXIT
mkdir -p "$T/bin" "$T/wine" "$T/binfmt"

# stand_in NAME BODY: a command that logs each call to $T/calls.
stand_in() {
  printf '#!/bin/bash\necho "%s $*" >>%s/calls\n%s\n' "${1##*/}" "$T" "$2" >"$1"
  chmod +x "$1"
}
stand_in "$T/bin/dpkg-query" 'case $2 in *Status*) [[ " $HOST_HAS " == *" ${@: -1} "* ]] && echo "install ok installed";; *) echo 1;; esac; exit 0'
stand_in "$T/bin/dpkg" '[ "$1" = --print-foreign-architectures ] && echo i386; exit 0'
stand_in "$T/bin/apt-cache" 'exit 0'
stand_in "$T/bin/apt-get" '[ "$1" = install ] && [ -z "${IN_ROOT:-}" ] || exit 0
[ -z "$HOST_REFUSES" ] || { echo " libx:i386 : Depends: liby:i386 but it is not installable"; exit 100; }'
stand_in "$T/bin/debootstrap" '[ -z "$NO_MIRROR" ] || { echo "E: Failed getting release file"; exit 1; }
mkdir -p "${@: -2:1}"/{proc,dev,sys,tmp}'
stand_in "$T/bin/unshare" 'while [[ $1 == -* ]]; do [ "$1" != --propagation ] || shift; shift; done; exec "$@"'
stand_in "$T/bin/mount" 'exit 0'
stand_in "$T/bin/chroot" 'shift; IN_ROOT=1 exec "$@"'
stand_in "$T/bin/sleep" 'exit 0'
stand_in "$T/wine/wine" 'ok=$HOST_LOADER; [ -z "${IN_ROOT:-}" ] || ok=$ROOT_LOADER
[ "$ok" = yes ] || exit 1
case $1 in --version) echo wine-8.0;; cmd) echo "${*:4}";; esac'
stand_in "$T/wine/wine64" '[ -n "${IN_ROOT:-}" ] && [ "$ROOT_LOADER64" = yes ] || exit 1
case $1 in --version) echo wine-10.0;; cmd) echo "${*:4}";; esac'
stand_in "$T/wine/wineserver64" 'exit 0'
stand_in "$T/qemu" 'echo "qemu-i386 version 10.0.2"'
: >"$T/binfmt/register"
mount --bind "$T/binfmt" /proc/sys/fs/binfmt_misc
mount --bind "$T/wine" /usr/lib/wine
mount --bind "$T/qemu" /usr/bin/qemu-i386
unset LAUNCHER_WINE32  # tools/test.sh exports it where it chose the root
export PATH="$T/bin:$PATH" LAUNCHER_WINE_ROOT=$T/root

failures=0
# pick WHAT ENV/EXPORTED+ENV10 REASON RUNS8/RUNS10 [VARIABLE=VALUE...]: picks
# with the stand-ins set by the variables (the host's binfmt entry has the
# flags FLAGS; Wine 8 alone unless LAUNCHER_WINE says otherwise); WINE32_ENV,
# the LAUNCHER_WINE32 left for the suites and WINE10_ENV must be ENV,
# EXPORTED and ENV10 ("refused" when the choice is refused), the reasons
# must match the extended pattern REASON, or be empty when REASON is, and
# debootstrap must have run RUNS8 times for bookworm and RUNS10 for trixie.
pick() {
  local what=$1 env=$2 reason=$3 runs=$4 got
  shift 4
  : >"$T/calls"
  got=$(env HOST_HAS="wine64 debootstrap" HOST_LOADER=no ROOT_LOADER=yes ROOT_LOADER64=yes \
            FLAGS=OPF HOST_REFUSES=1 NO_MIRROR="" LAUNCHER_WINE=8 "$@" bash -c '
    printf "enabled\ninterpreter /usr/bin/qemu-i386\nflags: %s\noffset 0\nmagic 7f454c4601010100000000000000000002000300\n" \
      "$FLAGS" >/proc/sys/fs/binfmt_misc/qemu-i386
    . "$1/wine_env.sh"
    pick_wine_environments "$2/log" 2>"$2/refusal" || { echo "refused|$(cat "$2/refusal")"; exit 0; }
    echo "$WINE32_ENV/${LAUNCHER_WINE32:-}+$WINE10_ENV|$(printf "%s\n" "$WINE32_REASON" "$WINE10_REASON" | sed /^$/d | paste -sd";" -)"' - "$TOOLS" "$T")
  local ran
  ran=$(grep -c '^debootstrap .* bookworm ' "$T/calls" || true)/$(grep -c '^debootstrap .* trixie ' "$T/calls" || true)
  local said=${got#*|}
  if [ "${got%%|*}" = "$env" ] && [ "$ran" = "$runs" ] &&
     { [ -z "$reason$said" ] || { [ -n "$reason" ] && grep -qE "$reason" <<<"$said"; }; }; then
    echo "ok:   $what"
  else
    failures=$((failures + 1))
    printf 'FAIL: %s\n   expected: %s|/%s/, %s debootstrap\n   got:      %s, %s debootstrap\n' \
      "$what" "$env" "$reason" "$runs" "$got" "$ran"
    sed 's/^/   log: /' "$T/log"
  fi
}

ready="HOST_HAS=wine64 wine32:i386 debootstrap"
pick "a host that takes wine32:i386 is used, no root made" host/+ "" 0/0 "$ready" HOST_LOADER=yes
pick "refused i386 twins without the F flag: no root tried" /+ \
     "cannot be set up here: .*not installable: liby:i386.*lacks the F flag" 0/0 FLAGS=OP
pick "a mirror debootstrap cannot reach: skipped, both reasons" /+ \
     "not on the host: .*liby:i386.*; 32-bit Wine: the private root .*failed 3 times \(E: Failed getting" 3/0 NO_MIRROR=1
pick "a root whose 32-bit program does not run is not marked made" /+ "private root .*32-bit program does not run" 1/0 ROOT_LOADER=no
mkdir -p "$T/root" && touch "$T/root/leftover"
pick "refused i386 twins: the half-made root is made anew and used" root/root+ "not on the host: .*liby:i386" 1/0
check_gone() { if [ -e "$1" ]; then failures=$((failures + 1)); echo "FAIL: $2"; else echo "ok:   $2"; fi; }
check_gone "$T/root/leftover" "the half-made root's files are gone"
pick "a made root is reused" root/root+ "not on the host" 0/0
mkdir -p "$T/other" && touch "$T/other/keep"
pick "a folder of other files is never taken for a half-made root" /+ "private root .*did not put there" 0/0 \
     LAUNCHER_WINE_ROOT="$T/other"
[ -e "$T/other/keep" ] || { failures=$((failures + 1)); echo "FAIL: the other folder's files are kept"; }
pick "LAUNCHER_WINE32=root uses the root where the host could serve" root/root+ "" 0/0 "$ready" HOST_LOADER=yes LAUNCHER_WINE32=root
rm -rf "$T/root"
pick "LAUNCHER_WINE32=root with no root to be had: the host serves" host/+ "private root .*failed 3 times" 3/0 \
     "$ready" HOST_LOADER=yes LAUNCHER_WINE32=root NO_MIRROR=1

# Wine 10: its own root beside the Wine 8 one, whatever the host takes.
both=(LAUNCHER_WINE= "$ready" HOST_LOADER=yes)
pick "both by default: no mirror, Wine 10 skipped with its reason" host/+ \
     "^Wine 10: the private root .*debootstrap trixie .*failed 3 times" 0/3 "${both[@]}" NO_MIRROR=1
pick "a Wine 10 root whose 64-bit program does not run is not marked made" host/+ \
     "^Wine 10: the private root .*64-bit program does not run" 0/1 "${both[@]}" ROOT_LOADER64=no
touch "$T/wine10-root/leftover"
pick "both by default: the half-made Wine 10 root is made anew and used" host/+root "" 0/1 "${both[@]}"
check_gone "$T/wine10-root/leftover" "the half-made Wine 10 root's files are gone"
pick "both by default: both roots made where the host refuses i386 twins" root/root+root \
     "not on the host: .*liby:i386" 1/0 LAUNCHER_WINE=
pick "both by default: both made roots are reused" root/root+root "not on the host" 0/0 LAUNCHER_WINE=
rm -rf "$T/root" "$T/wine10-root"
pick "LAUNCHER_WINE=10: no Wine 8 root made nor its reason given" /+root "" 0/1 LAUNCHER_WINE=10
pick "LAUNCHER_WINE=8: the Wine 10 root is left alone" host/+ "" 0/0 "$ready" HOST_LOADER=yes
[ -f "$T/wine10-root/.made" ] || { failures=$((failures + 1)); echo "FAIL: the made Wine 10 root is kept"; }
pick "LAUNCHER_WINE=9 is refused" refused "LAUNCHER_WINE is 8 or 10" 0/0 LAUNCHER_WINE=9

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
