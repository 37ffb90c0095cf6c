#!/usr/bin/env bash
# Sets up 32-bit Wine on a 64-bit Debian 12 machine whose kernel cannot run
# 32-bit programs: qemu-user runs the 32-bit loader through binfmt_misc, and
# wine32:i386 stands beside wine64. Safe to run again; each step is skipped
# when already done.
#
#   tools/wine32.sh        exit 0 when 32-bit Wine runs its programs here;
#                          exit 3 when qemu and its binfmt_misc entry are in
#                          place but the host cannot take wine32:i386 (a
#                          private root, tools/wine_root.sh, may serve);
#                          exit 4 when 32-bit programs cannot run here at
#                          all. The reason goes to stderr in one line.
#
# The emulator comes first, so that a host refused wine32:i386 still has
# what a private root needs: its binfmt_misc entry is registered with the F
# (fix-binary) flag, which opens the emulator at registration and so serves
# inside a root as well.
#
# A mirror that fails apt-get update is asked again a few times; then the
# lists that did arrive serve, and when they cannot give the packages the
# reason names them and the index that failed.
#
# Bookworm's own qemu-user 7.2 treats MAP_FIXED_NOREPLACE as a hint, which
# makes every 32-bit Wine process take a minute to start; the 10.x of
# bookworm-backports does not. Backports are pinned so that only qemu-user
# (with what it needs from there) ever comes from them.
set -euo pipefail
. "$(dirname "$0")/deps.sh"

cannot() { echo "32-bit Wine: cannot be set up here: $*" >&2; exit 4; }
# The host's packages refuse wine32:i386: a private root can serve where the
# emulator's registration has the F flag.
host_cannot() {
  binfmt_registered F ||
    cannot "$* (nor in a private root: binfmt_misc's i386 entry lacks the F flag)"
  echo "32-bit Wine: not on the host: $*" >&2
  exit 3
}

BINFMT=/proc/sys/fs/binfmt_misc
QEMU=/usr/bin/qemu-i386
# i386 ELF executables, matched on the ELF identification, type and machine.
ELF_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
ELF_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# binfmt_registered [FLAG]: an enabled registration for i386 ELF (with that
# flag); a distribution's own serves as well.
binfmt_registered() {
  local entry
  for entry in "$BINFMT"/*; do
    grep -qx enabled "$entry" 2>/dev/null &&
      grep -qx "magic 7f454c4601010100000000000000000002000300" "$entry" &&
      grep -q "^flags: .*${1:-}" "$entry" && return 0
  done
  return 1
}

# The 32-bit loader is an i386 ELF program: it runs only through qemu.
loader_runs() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
say_ready() { echo "32-bit Wine: ready ($("$QEMU" --version | head -1), $(/usr/lib/wine/wine --version))"; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

qemu_is_new_enough() {
  [ -x "$QEMU" ] || return 1
  local major
  major=$("$QEMU" --version | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
  [ "${major:-0}" -ge 8 ]
}

# Multi-Arch: same twins must have the same version. For each i386 package
# apt found not installable, names an installed amd64 twin whose version the
# i386 lists lack (a security update whose i386 index did not arrive).
twin_gaps() {
  local package amd64 offered gaps=()
  for package in "$@"; do
    [[ $package == *:i386 ]] || continue
    installed "${package%:i386}:amd64" || continue
    amd64=$(dpkg-query -W -f='${Version}' "${package%:i386}:amd64")
    offered=$(apt-cache madison "$package" 2>/dev/null | awk -F'|' '{ gsub(/ /, "", $2); print $2 }')
    grep -qxF "$amd64" <<<"$offered" && continue
    offered=${offered//$'\n'/, }
    gaps+=("${package%:i386}:amd64 is $amd64, the i386 lists offer ${offered:-none}")
  done
  [ ${#gaps[@]} -eq 0 ] || printf '; installed %s' "${gaps[@]}"
}

# What apt refused of the packages and why, in one line.
refusal() {
  # shellcheck disable=SC2086 # a list of package names
  echo "$* cannot be installed ($APT_REFUSAL$(twin_gaps $APT_NOT_INSTALLABLE)${APT_FAILED_INDEXES:+; failed index: $APT_FAILED_INDEXES})"
}

add_backports() {
  local sources=/etc/apt/sources.list.d/launcher-backports.sources
  local pin=/etc/apt/preferences.d/launcher-backports
  [ -f "$sources" ] && [ -f "$pin" ] && return 0
  local mirror
  mirror=$(debian_mirror)
  [ -n "$mirror" ] || cannot "no Debian mirror in the system's apt sources"
  printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$mirror" >"$sources"
  printf 'Package: *\nPin: release n=bookworm-backports\nPin-Priority: 1\n\nPackage: qemu-user qemu-user-binfmt\nPin: release n=bookworm-backports\nPin-Priority: 990\n' \
    >"$pin"
}

register_binfmt() {
  if [ ! -e "$BINFMT/register" ]; then
    mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null ||
      cannot "binfmt_misc is not mounted and cannot be mounted"
  fi
  binfmt_registered && return 0
  echo ":qemu-i386:M::$ELF_MAGIC:$ELF_MASK:$QEMU:OPF" >"$BINFMT/register" ||
    cannot "the kernel refused the binfmt_misc registration"
}

# Already set up: nothing to do, and no need to be root.
if qemu_is_new_enough && binfmt_registered && installed wine64 &&
   installed wine32:i386 && loader_runs; then
  say_ready
  exit 0
fi

[ "$(id -u)" -eq 0 ] || cannot "this needs root (it installs packages and registers qemu with the kernel)"
[ "$(uname -m)" = x86_64 ] || cannot "this machine is $(uname -m), not x86_64"
[ -d "$BINFMT" ] || cannot "the kernel has no binfmt_misc"

export DEBIAN_FRONTEND=noninteractive
updated=no
update() { [ $updated = yes ] || { refresh_package_lists; updated=yes; }; }

if ! qemu_is_new_enough; then
  add_backports
  update
  apt_install qemu-user || cannot "$(refusal qemu-user)"
  qemu_is_new_enough || cannot "qemu-user from bookworm-backports is not 8 or newer"
fi
register_binfmt

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  updated=no
fi
if ! installed wine32:i386 || ! installed wine64; then
  update
  apt_install wine wine64 wine32:i386 || host_cannot "$(refusal wine wine64 wine32:i386)"
fi
loader_runs || cannot "the 32-bit Wine loader does not run"
say_ready
