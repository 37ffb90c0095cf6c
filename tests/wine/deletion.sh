#!/usr/bin/env bash
# DeleteFolderTree on the real Win32 API under Wine, through delete_tree.exe:
# a tree with nested folders, files without extensions, a read-only file and
# a folder link to a folder outside the tree; a tree that goes completely;
# and a path that is itself a folder link.
#
# Wine presents a Unix symbolic link to a folder as a folder link (attributes
# with 0x400, the reparse-point bit); the first section shows what the file
# API does with such a link and with a read-only file, and the expectations
# below follow from what it shows.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

wine_suite_start
harness_check
stage_tools

probe() { run_in "$DRIVE_C" 'C:\tools\fs_probe.exe' "$@"; }

# delete_tree PATH: sets DELETE_RESULT to true/false from the exit code.
delete_tree() {
  run_in "$DRIVE_C" 'C:\tools\delete_tree.exe' "$1"
  case "$RUN_STATUS" in
    0) DELETE_RESULT=true ;;
    1) DELETE_RESULT=false ;;
    *) DELETE_RESULT="exit code $RUN_STATUS: $RUN_OUTPUT" ;;
  esac
  note "delete_tree printed: $RUN_OUTPUT"
}

# A folder outside every tree, for links to point to; its fingerprint is
# every entry with the checksum of every file.
make_outside() {
  local root=$1
  mkdir -p "$root/inner/deeper"
  printf 'outside content\r\n' >"$root/inner/file.txt"
  printf 'deeper content' >"$root/inner/deeper/noext"
  printf 'top' >"$root/top.dat"
}
fingerprint() {
  (cd "$1" && find . -printf '%y %P\n' | LC_ALL=C sort &&
     find . -type f -exec md5sum {} + | LC_ALL=C sort -k2)
}

# ---- What the file API does ----
section "the file API under Wine: folder links and read-only files"
mkdir -p "$DRIVE_C/probe"
make_outside "$DRIVE_C/probe_target"
ln -s "$DRIVE_C/probe_target" "$DRIVE_C/probe/link"
before=$(fingerprint "$DRIVE_C/probe_target")

probe attributes 'C:\probe\link'
note "GetFileAttributesA(link) = $RUN_OUTPUT"
check "GetFileAttributesA shows the link as a folder with the reparse-point bit" \
  test "$RUN_STATUS" -eq 0 -a $(( ${RUN_OUTPUT:-0} & 0x410 )) -eq $((0x410))
probe list 'C:\probe'
listed=$(awk -F'\t' '$2 == "link" { print $1 }' <<<"$RUN_OUTPUT")
note "FindFirstFileA/FindNextFileA list the link with attributes ${listed:-(not listed)}"
check "the folder listing shows the link with the reparse-point bit too" \
  test -n "$listed" -a $(( ${listed:-0} & 0x410 )) -eq $((0x410))

probe rmdir 'C:\probe\link'
note "RemoveDirectoryA(link): $RUN_OUTPUT"
if [ "$RUN_STATUS" -eq 0 ]; then
  LINKS_REMOVABLE=yes
  check "RemoveDirectoryA removed the link itself" test ! -L "$DRIVE_C/probe/link"
else
  LINKS_REMOVABLE=no
  check "RemoveDirectoryA refused and left the link in place" test -L "$DRIVE_C/probe/link"
fi
check_eq "RemoveDirectoryA(link) left the folder behind the link intact" \
  "$before" "$(fingerprint "$DRIVE_C/probe_target")"
note "folder links removable by RemoveDirectoryA here: $LINKS_REMOVABLE"

printf 'read-only probe' >"$DRIVE_C/probe/ro"
make_read_only 'C:\probe\ro'
note "after attrib +r: attributes $RUN_OUTPUT, Unix mode $(stat -c %A "$DRIVE_C/probe/ro")"
probe delete 'C:\probe\ro'
note "DeleteFileA(read-only file): $RUN_OUTPUT"
check "DeleteFileA refuses a read-only file" test "$RUN_STATUS" -eq 1 -a -f "$DRIVE_C/probe/ro"

# ---- A tree with a read-only file and a folder link ----
section "a tree with nested folders, files without extensions, a read-only file and a folder link"
T='C:\trees\mixed'
t=$(unix_of "$T")
mkdir -p "$t/a/b/c" "$t/a/empty" "$t/keep" "$t/Disk 1"
printf 'deep' >"$t/a/b/c/deep.txt"
printf 'no extension' >"$t/a/b/README"
printf 'x' >"$t/a/noext"
printf 'y' >"$t/top"
printf 'z' >"$t/.dotfile"
printf 'w' >"$t/Disk 1/data1.cab"
printf 'kept beside' >"$t/keep/plain.txt"
printf 'read-only content\r\n' >"$t/keep/locked"
make_read_only "$T\\keep\\locked"
make_outside "$DRIVE_C/outside_mixed"
ln -s "$DRIVE_C/outside_mixed" "$t/link"
before=$(fingerprint "$DRIVE_C/outside_mixed")

delete_tree "$T"
expected_left="d keep"$'\n'"f keep/locked"
if [ "$LINKS_REMOVABLE" = no ]; then expected_left+=$'\n'"l link"; fi
check_eq "DeleteFolderTree returns false (the read-only file keeps its folders)" \
  false "$DELETE_RESULT"
check_eq "only the read-only file and its folders are left$(
           [ "$LINKS_REMOVABLE" = no ] && echo ', and the link Wine will not remove')" \
  "$expected_left" "$(tree_of "$t")"
check_eq "the read-only file keeps its content" "read-only content"$'\r' \
  "$(cat "$t/keep/locked" 2>/dev/null)"
check_eq "the folder behind the link is intact, every file with its content" \
  "$before" "$(fingerprint "$DRIVE_C/outside_mixed")"
if [ "$LINKS_REMOVABLE" = no ]; then
  check_eq "the link still points where it did" "$DRIVE_C/outside_mixed" \
    "$(readlink "$t/link")"
fi

# ---- A tree that goes completely ----
section "a tree that goes completely"
T='C:\trees\clean'
t=$(unix_of "$T")
mkdir -p "$t/one/two/three/four" "$t/empty" "$t/with space/inner"
printf 'a' >"$t/one/two/three/four/deepest"
printf 'b' >"$t/one/file.txt"
printf 'c' >"$t/one/two/noext"
printf 'd' >"$t/with space/inner/x y.dat"
printf 'e' >"$t/.hidden"
printf 'f' >"$t/hidden_by_attribute"
run_in "$DRIVE_C" attrib +h "$T\\hidden_by_attribute"
printf 'g' >"$t/Makefile"
printf 'stays' >"$DRIVE_C/trees/sibling.txt"
delete_tree "$T"
check_eq "DeleteFolderTree returns true" true "$DELETE_RESULT"
check "the tree is gone" test ! -e "$t"
check_eq "the folder above it keeps its other content" "stays" \
  "$(cat "$DRIVE_C/trees/sibling.txt" 2>/dev/null)"

# ---- The path itself a folder link ----
section "the path given is itself a folder link"
make_outside "$DRIVE_C/outside_root"
ln -s "$DRIVE_C/outside_root" "$DRIVE_C/trees/rootlink"
before=$(fingerprint "$DRIVE_C/outside_root")
delete_tree 'C:\trees\rootlink'
if [ "$LINKS_REMOVABLE" = yes ]; then
  check_eq "DeleteFolderTree returns true, the link removed" true "$DELETE_RESULT"
  check "the link is gone" test ! -L "$DRIVE_C/trees/rootlink"
else
  check_eq "DeleteFolderTree returns false, as RemoveDirectoryA refuses the link" \
    false "$DELETE_RESULT"
  check "the link is still there" test -L "$DRIVE_C/trees/rootlink"
fi
check_eq "nothing behind the link is searched or deleted" \
  "$before" "$(fingerprint "$DRIVE_C/outside_root")"

finish
