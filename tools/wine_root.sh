#!/usr/bin/env bash
# Private Debian roots for the Wine suites, one per emulation, each made
# from one Debian release's main suite only, amd64 with i386 added, so that
# wine64, wine32:i386 and their libraries agree by construction; the host's
# packages are left as they are.
#   8   Debian 12 (bookworm), Wine 8: for hosts that cannot take wine32:i386,
#       whose i386 libraries must have the very versions of their installed
#       amd64 twins, which a mirror may not give (a security update whose
#       i386 index lags).
#   10  Debian 13 (trixie), Wine 10: always; it has calls of today's Windows
#       that Wine 8 lacks, so the launcher takes the paths there that
#       Windows takes.
# Their 32-bit programs run through the host's qemu-user binfmt_misc entry,
# which tools/wine32.sh registers with the F flag so that it serves in here.
#
#   tools/wine_root.sh setup 8|10   as root: makes that root once, from the
#                              mirror of the system's apt sources, and proves
#                              that a 32-bit and a 64-bit program run under
#                              Wine in it; later runs reuse it. Exit 0 when
#                              ready, 3 (the reason on stderr in one line)
#                              when it cannot be had.
#   tools/wine_root.sh ready 8|10   exit 0 when that root is made and can be
#                              entered; 3 otherwise, the reason on stdout.
#   tools/wine_root.sh run 8|10 FOLDER... -- COMMAND [ARGUMENT...]
#                              as root: runs the command in the root, in the
#                              current folder, with each folder bind-mounted
#                              at its own path. LAUNCHER_WINE_ENVIRONMENT
#                              tells the command where it runs.
#
# Environment: LAUNCHER_WINE_ROOT, the Wine 8 root's folder (default
# /var/cache/installer-launcher/wine-root); LAUNCHER_WINE10_ROOT, the Wine 10
# root's (default wine10-root beside the Wine 8 root). Remove both with
#   rm -rf --one-file-system /var/cache/installer-launcher
#
# Every mount lives in a mount namespace of the command alone, so nothing
# stays mounted on the host, however a command ends. A root counts as made
# only once its last step has passed; a half-made one is made anew. Each
# step has a time limit.
set -euo pipefail
SELF=$(readlink -f "$0")
. "$(dirname "$SELF")/deps.sh"

usage() {
  echo "usage: $0 setup 8|10 | ready 8|10 | run 8|10 FOLDER... -- COMMAND [ARGUMENT...]" >&2
  exit 2
}

# choose 8|10: the root's folder, release and the name its messages carry.
choose() {
  ROOT=${LAUNCHER_WINE_ROOT:-/var/cache/installer-launcher/wine-root}
  case ${1:-} in
    8) RELEASE=bookworm; LABEL="32-bit Wine" ;;
    10) RELEASE=trixie; LABEL="Wine 10"
        ROOT=${LAUNCHER_WINE10_ROOT:-$(dirname "$ROOT")/wine10-root} ;;
    *) usage ;;
  esac
  EMULATION=$1
  READY=$ROOT/.made
  LOG=$ROOT.log
}

LOADER32=/usr/lib/wine/wine
LOADER64=/usr/lib/wine/wine64

cannot() { echo "$LABEL: the private root cannot be set up here: $*" >&2; exit 3; }

# in_root SECONDS FOLDER... -- COMMAND...: the command in the root, ended
# after SECONDS (0: no limit).
in_root() {
  local limit=$1
  shift
  timeout "$limit" unshare --mount --propagation private "$SELF" enter "$EMULATION" "$@"
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
    LAUNCHER_WINE_ENVIRONMENT="private root $ROOT" TMPDIR=/tmp \
    XDG_RUNTIME_DIR="/run/user/$(id -u)" "$@"
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
      debootstrap --variant=minbase --arch=amd64 "$RELEASE" "$ROOT" "$mirror" >"$LOG" 2>&1 && break
    [ "$try" -lt "$APT_UPDATE_TRIES" ] ||
      cannot "debootstrap $RELEASE from $mirror failed $try times ($(grep -m1 '^E: ' "$LOG" || tail -1 "$LOG"))"
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
  # Wine 10's 32-bit loader aborts (free(): invalid pointer) where the
  # user's runtime folder is missing and it would fall back to one in /tmp.
  mkdir -p "$ROOT/run/user"
  mkdir -m 700 "$ROOT/run/user/$(id -u)"
}

# proves LOADER ARCH: a fresh prefix of that Wine architecture, and a
# program of that width (its cmd) run in it.
proves() {
  local said
  said=$(in_root 600 -- sh -c "export WINEPREFIX=/tmp/verify-prefix WINEARCH=$2 WINEDEBUG=-all
           export WINEDLLOVERRIDES='mscoree=;mshtml='; unset DISPLAY; rm -rf \$WINEPREFIX
           $1 wineboot --init && $1 cmd /c echo $2 Wine runs
           /usr/lib/wine/wineserver64 -k; rm -rf \$WINEPREFIX" 2>>"$LOG" | tr -d '\r') || true
  grep -qx "$2 Wine runs" <<<"$said" ||
    cannot "a ${3}-bit program does not run under Wine in $ROOT (it said: ${said:-nothing}; see $LOG)"
}

setup() {
  [ "$(id -u)" -eq 0 ] || cannot "this needs root (debootstrap, chroot and mounts)"
  mkdir -p "$(dirname "$ROOT")"
  exec 9>"$ROOT.lock"
  flock 9
  if [ ! -f "$READY" ]; then
    echo "$LABEL: making the private root $ROOT ($RELEASE, a few minutes, once)"
    ensure_packages debootstrap || cannot "debootstrap cannot be installed"
    make_root
    proves "$LOADER32" win32 32
    proves "$LOADER64" win64 64
    date -u +%FT%TZ >"$READY"
  fi
  local version
  version=$(in_root 120 -- "$LOADER32" --version 2>/dev/null) ||
    cannot "its 32-bit Wine loader does not run (binfmt_misc's i386 entry: tools/wine32.sh)"
  echo "$LABEL: private root ready ($ROOT, $RELEASE, $version, made $(cat "$READY"), $(du -sh --one-file-system "$ROOT" | cut -f1))"
}

# Why the root cannot be entered now; nothing when it can.
unready() {
  if [ ! -f "$READY" ]; then
    echo "no private root for Wine $EMULATION at $ROOT (tools/wine_root.sh setup $EMULATION makes it, as root)"
  elif [ "$(id -u)" -ne 0 ]; then
    echo "the private root for Wine $EMULATION is entered as root only"
  fi
}

command=${1:-}
[ $# -ge 2 ] || usage
choose "$2"
shift 2
case $command in
  setup) setup ;;
  ready)
    why=$(unready)
    [ -z "$why" ] || { echo "$why"; exit 3; } ;;
  run)
    why=$(unready)
    [ -z "$why" ] || { echo "$why" >&2; exit 3; }
    exec unshare --mount --propagation private "$SELF" enter "$EMULATION" "$@" ;;
  enter) enter "$@" ;;
  *) usage ;;
esac
