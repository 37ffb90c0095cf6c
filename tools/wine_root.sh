#!/usr/bin/env bash
# A private Debian root for the 32-bit Wine suites, for hosts that cannot
# take wine32:i386: its i386 libraries must have the very versions of their
# installed amd64 twins, which a mirror may not give (a security update whose
# i386 index lags). The root holds bookworm's main suite only, amd64 with
# i386 added, so wine64, wine32:i386 and their libraries agree by
# construction; the host's packages are left as they are. Its 32-bit
# programs run through the host's qemu-user binfmt_misc entry, which
# tools/wine32.sh registers with the F flag so that it serves in here too.
#
#   tools/wine_root.sh setup   as root: makes the root once, from the mirror
#                              of the system's apt sources, and proves that
#                              a 32-bit program runs under Wine in it; later
#                              runs reuse it. Exit 0 when ready, 3 (the
#                              reason on stderr in one line) when it cannot
#                              be had.
#   tools/wine_root.sh run FOLDER... -- COMMAND [ARGUMENT...]
#                              as root: runs the command in the root, in the
#                              current folder, with each folder bind-mounted
#                              at its own path. LAUNCHER_WINE_ENVIRONMENT
#                              tells the command where it runs.
#
# Environment: LAUNCHER_WINE_ROOT, the root's folder (default
# /var/cache/installer-launcher/wine-root). tools/test.sh uses the root where
# tools/wine32.sh finds that the host cannot take wine32:i386, or always when
# LAUNCHER_WINE32=root. Remove it with
#   rm -rf --one-file-system /var/cache/installer-launcher
#
# Every mount lives in a mount namespace of the command alone, so nothing
# stays mounted on the host, however a command ends. The root counts as made
# only once its last step has passed; a half-made one is made anew. Each step
# has a time limit.
set -euo pipefail
SELF=$(readlink -f "$0")
. "$(dirname "$SELF")/deps.sh"

ROOT=${LAUNCHER_WINE_ROOT:-/var/cache/installer-launcher/wine-root}
READY=$ROOT/.made
LOG=$ROOT.log
LOADER=/usr/lib/wine/wine

cannot() { echo "32-bit Wine: the private root cannot be set up here: $*" >&2; exit 3; }

# in_root SECONDS FOLDER... -- COMMAND...: the command in the root, ended
# after SECONDS (0: no limit).
in_root() {
  local limit=$1
  shift
  timeout "$limit" unshare --mount --propagation private "$SELF" enter "$@"
}

# The inside of in_root, in its own mount namespace.
enter() {
  mount -t proc proc "$ROOT/proc"
  mount --rbind /dev "$ROOT/dev"
  mount --rbind /sys "$ROOT/sys"
  while [ "$1" != -- ]; do
    mkdir -p "$ROOT$1"
    mount --rbind "$1" "$ROOT$1"
    shift
  done
  shift
  local here=/
  [ -d "$ROOT$PWD" ] && here=$PWD
  exec chroot "$ROOT" /usr/bin/env --chdir="$here" -u LAUNCHER_WINE32 \
    LAUNCHER_WINE_ENVIRONMENT="private root $ROOT" TMPDIR=/tmp "$@"
}

make_root() {
  local mirror try
  mirror=$(debian_mirror)
  [ -n "$mirror" ] || cannot "no Debian mirror in the system's apt sources"
  # Only a folder that this script began is ever removed.
  if [ -n "$(ls -A "$ROOT" 2>/dev/null)" ] && [ ! -f "$ROOT/.begun" ]; then
    cannot "$ROOT holds files that this script did not put there"
  fi
  for ((try = 1; ; try++)); do
    rm -rf --one-file-system "$ROOT"
    mkdir -p "$ROOT"
    touch "$ROOT/.begun"
    # Its own mount namespace: in a container debootstrap bind-mounts /dev.
    timeout 1200 unshare --mount --propagation private \
      debootstrap --variant=minbase --arch=amd64 bookworm "$ROOT" "$mirror" >"$LOG" 2>&1 && break
    [ "$try" -lt "$APT_UPDATE_TRIES" ] ||
      cannot "debootstrap from $mirror failed $try times ($(grep -m1 '^E: ' "$LOG" || tail -1 "$LOG"))"
    sleep "$APT_UPDATE_PAUSE"
  done
  in_root 60 -- dpkg --add-architecture i386 || cannot "dpkg in it cannot add the i386 architecture"
  # From here on deps.sh's apt helpers, which retry as on the host, act in
  # the root.
  apt-get() { in_root 1200 -- apt-get "$@"; }
  refresh_package_lists
  apt_install wine64 wine32:i386 file ||
    cannot "wine64 wine32:i386 file cannot be installed in it ($APT_REFUSAL${APT_FAILED_INDEXES:+; failed index: $APT_FAILED_INDEXES})"
  apt-get clean || cannot "apt-get clean failed in it"
}

# A fresh 32-bit Windows prefix, and a 32-bit program (its cmd) run in it.
verify() {
  local said
  said=$(in_root 600 -- sh -c "export WINEPREFIX=/tmp/verify-prefix WINEARCH=win32 WINEDEBUG=-all
           export WINEDLLOVERRIDES='mscoree=;mshtml='; unset DISPLAY; rm -rf \$WINEPREFIX
           $LOADER wineboot --init && $LOADER cmd /c echo 32-bit Wine runs
           /usr/lib/wine/wineserver64 -k; rm -rf \$WINEPREFIX" 2>>"$LOG" | tr -d '\r') || true
  grep -qx "32-bit Wine runs" <<<"$said" ||
    cannot "a 32-bit program does not run under Wine in $ROOT (it said: ${said:-nothing}; see $LOG)"
}

setup() {
  [ "$(id -u)" -eq 0 ] || cannot "this needs root (debootstrap, chroot and mounts)"
  mkdir -p "$(dirname "$ROOT")"
  exec 9>"$ROOT.lock"
  flock 9
  if [ ! -f "$READY" ]; then
    echo "32-bit Wine: making the private root $ROOT (a few minutes, once)"
    ensure_packages debootstrap || cannot "debootstrap cannot be installed"
    make_root
    verify
    date -u +%FT%TZ >"$READY"
  fi
  in_root 120 -- "$LOADER" --version >/dev/null 2>&1 ||
    cannot "its 32-bit Wine loader does not run (binfmt_misc's i386 entry: tools/wine32.sh)"
  echo "32-bit Wine: private root ready ($ROOT, made $(cat "$READY"), $(du -sh --one-file-system "$ROOT" | cut -f1))"
}

case ${1:-} in
  setup) setup ;;
  run)
    shift
    [ -f "$READY" ] || { echo "no private root at $ROOT: tools/wine_root.sh setup makes it" >&2; exit 3; }
    exec unshare --mount --propagation private "$SELF" enter "$@" ;;
  enter) shift; enter "$@" ;;
  *) echo "usage: $0 setup | run FOLDER... -- COMMAND [ARGUMENT...]" >&2; exit 2 ;;
esac
