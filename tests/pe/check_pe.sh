#!/usr/bin/env bash
# Properties of the built Windows executable that no run can show:
#
#   check_pe.sh EXE FORMAT ICON KIND MANIFEST
#
# FORMAT is PE32 (32-bit, Intel 386) or PE32+ (x86-64); ICON is the icon
# file the build was configured with; KIND is default (the default or a
# pinned build) or report; MANIFEST is none (the default build, which loads
# no DLL outside the known DLLs) or embedded (the pinned, signed and report
# builds). Checks: the format and machine, the GUI subsystem, imports from
# KERNEL32 and msvcrt only (everything from the toolchain linked in),
# exactly the functions tests/pe/imports lists for the build; icon group
# 101 holding one 32x32 image at 24 bits per pixel, the configured icon's
# image; no version record; the manifest as MANIFEST says: none, or
# manifest 1 with the assembly identity of this width, the supported
# Windows versions and no trustInfo (installer detection keeps elevating
# it); nothing else; a size under 64 KiB for the 32-bit default build, 320
# KiB for the others.
set -u

usage="usage: check_pe.sh EXE FORMAT ICON default|report none|embedded"
exe=${1:?$usage}
format=${2:?$usage}
icon=${3:?$usage}
kind=${4:?$usage}
manifest=${5:?$usage}
case "$kind/$manifest" in default/none|default/embedded|report/embedded) ;;
  *) echo "FAIL: $usage"; exit 1 ;; esac

failures=0
pass() { printf 'ok:   %s\n' "$1"; }
fail() { printf 'FAIL: %s\n' "$1"; failures=$((failures + 1)); }

for tool in file objdump wrestool icotool od; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done
[ -f "$exe" ] || { echo "FAIL: no executable at $exe"; exit 1; }
[ -f "$icon" ] || { echo "FAIL: no icon file at $icon"; exit 1; }
echo "executable: $exe"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- Format, machine, subsystem ----
case "$format" in
  PE32) expected_file="PE32 executable (GUI) Intel 80386"; expected_magic="(PE32)" ;;
  PE32+) expected_file="PE32+ executable (GUI) x86-64"; expected_magic="(PE32+)" ;;
  *) echo "FAIL: unknown format $format"; exit 1 ;;
esac
description=$(file -b "$exe")
echo "file: $description"
if [[ "$description" == "$expected_file"* ]]; then
  pass "format is $expected_file"
else
  fail "format: expected '$expected_file', file says '$description'"
fi

headers=""
for dumper in objdump i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump; do
  command -v "$dumper" >/dev/null || continue
  headers=$("$dumper" -p "$exe" 2>/dev/null) && break
done
[ -n "$headers" ] || { echo "FAIL: no objdump reads $exe"; exit 1; }

magic=$(awk '$1 == "Magic" { print $3 }' <<<"$headers")
if [ "$magic" = "$expected_magic" ]; then
  pass "optional header magic $magic"
else
  fail "optional header magic: expected $expected_magic, found '$magic'"
fi
subsystem=$(awk '$1 == "Subsystem" { print $2 }' <<<"$headers")
if [ "$subsystem" = "00000002" ]; then
  pass "subsystem 2 (Windows GUI)"
else
  fail "subsystem: expected 00000002 (Windows GUI), found '$subsystem'"
fi

# ---- Imports ----
# KERNEL32 and msvcrt alone, which Windows always takes from its system
# folder, as it does their own imports: any other name, and any DLL a
# forwarder leads to, is looked for beside the program first, before main,
# in a kit folder that anyone may be able to write. Every imported function
# is in the list of its DLL (tests/pe/imports/<dll>) for this build, and
# every function listed for this build is imported: one that appears or
# disappears is reviewed, and the list changed with it.
lists=$(dirname "$0")/imports
width=x86
[ "$format" = PE32+ ] && width=x64
echo "build: $kind, $width"
# The functions of the list `file` for this build: those with no condition,
# or whose every condition (default/report, x86/x64) this build meets.
listed() {
  awk -v kind="$kind" -v width="$width" '
    /^#/ || NF == 0 { next }
    { for (i = 2; i <= NF; i++) if ($i != kind && $i != width) next; print $1 }
  ' "$1" | sort -u
}
# "dll function" for each imported function (by name), the DLL in lower case.
objdump_imports() {
  awk '/DLL Name:/ { dll = tolower($3); next }
       dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+/ { print dll, $3 }' <<<"$headers"
}
mapfile -t imports < <(awk '/DLL Name:/ { print tolower($3) }' <<<"$headers" | sort -u)
echo "imports: ${imports[*]:-none}"
[ "${#imports[@]}" -gt 0 ] || fail "no import table found"
for dll in "${imports[@]}"; do
  [ -f "$lists/$dll" ] || fail "import $dll: not KERNEL32 or msvcrt (no list tests/pe/imports/$dll); find its functions at run time (windows::SystemFunction)"
done
for list in "$lists"/*; do
  dll=$(basename "$list")
  expected=$(listed "$list")
  actual=$(objdump_imports | awk -v dll="$dll" '$1 == dll { print $2 }' | sort -u)
  appeared=$(comm -13 <(echo "$expected") <(echo "$actual") | grep -v '^$')
  disappeared=$(comm -23 <(echo "$expected") <(echo "$actual") | grep -v '^$')
  echo "$dll: $(grep -c . <<<"$actual") functions"
  if [ -z "$appeared$disappeared" ]; then
    pass "$dll imports exactly the functions tests/pe/imports/$dll lists for this build"
  fi
  for function in $appeared; do
    fail "$dll!$function is imported but not listed for this build in tests/pe/imports/$dll"
  done
  for function in $disappeared; do
    fail "$dll!$function is listed for this build in tests/pe/imports/$dll but no longer imported"
  done
done

# ---- Resources ----
listing=$(wrestool -l "$exe" 2>&1)
echo "resources:"
while IFS= read -r line; do echo "  $line"; done <<<"$listing"
mapfile -t types < <(sed -n 's/^--type=\([^ ]*\) .*/\1/p' <<<"$listing")
count_type() {
  local wanted=$1 n=0 t
  for t in "${types[@]}"; do [ "$t" = "$wanted" ] && n=$((n + 1)); done
  echo "$n"
}
manifests=$(count_type 24)
if [ "$manifest" = none ]; then
  if [ "$manifests" -eq 0 ]; then
    pass "no manifest (type 24)"
  else
    fail "a manifest resource (type 24) is present"
  fi
elif [ "$manifests" -eq 1 ] && grep -q -- '^--type=24 --name=1 ' <<<"$listing"; then
  pass "one manifest, resource 1"
  text=$(wrestool -x --raw -t24 -n1 "$exe" 2>/dev/null | tr -d '\r')
  architecture=x86
  [ "$width" = x64 ] && architecture=amd64
  supported=$(grep -c '<supportedOS Id="{[0-9a-f-]*}"/>' <<<"$text")
  if grep -q "<assemblyIdentity type=\"win32\" name=\"[^\"]*\" version=\"[0-9.]*\" processorArchitecture=\"$architecture\"/>" <<<"$text" &&
     [ "$supported" -eq 5 ] && ! grep -qi 'trustInfo\|requestedExecutionLevel' <<<"$text"; then
    pass "the manifest names the assembly ($architecture), five supported Windows versions, no trustInfo"
  else
    fail "the manifest's text is not the expected one: $(tr '\n' ' ' <<<"$text")"
  fi
else
  fail "manifest resources: expected one, named 1; found $manifests"
fi
if [ "$(count_type 16)" -eq 0 ]; then
  pass "no version record (type 16)"
else
  fail "a version resource (type 16) is present"
fi
groups=$(grep -c -- '^--type=14 ' <<<"$listing")
group101=$(grep -c -- '^--type=14 --name=101 ' <<<"$listing")
images=$(count_type 3)
if [ "$groups" -eq 1 ] && [ "$group101" -eq 1 ]; then
  pass "one icon group, named 101"
else
  fail "icon groups: expected exactly one, named 101; found $groups (named 101: $group101)"
fi
if [ "$images" -eq 1 ]; then
  pass "one icon image resource"
else
  fail "icon image resources: expected 1, found $images"
fi
others=0
for t in "${types[@]}"; do
  case "$t" in 3|14|24) ;; *) others=$((others + 1)) ;; esac
done
if [ "$others" -eq 0 ]; then
  pass "no resource besides the icon and the manifest"
else
  fail "$others resource(s) besides the icon group, its image and the manifest"
fi

if [ "$group101" -eq 1 ]; then
  wrestool -x -t14 -n101 -o "$work/group.ico" "$exe" 2>/dev/null
  entries=$(icotool -l "$work/group.ico" 2>/dev/null)
  echo "icon group 101: ${entries:-unreadable}"
  entry_count=$(grep -c -- '--icon' <<<"$entries")
  if [ "$entry_count" -eq 1 ] &&
     grep -q -- '--width=32 --height=32 --bit-depth=24' <<<"$entries"; then
    pass "icon group 101 holds a single 32x32 image at 24 bits per pixel"
  else
    fail "icon group 101: expected one 32x32 24-bit image, found: ${entries:-nothing}"
  fi

  # The image must be the configured icon's: the icon file's first directory
  # entry gives its length (32 bits at byte 14) and offset (at byte 18).
  image_id=$(sed -n 's/^--type=3 --name=\([^ ]*\) .*/\1/p' <<<"$listing" | head -n1)
  length=$(od -An -tu4 -j14 -N4 "$icon" | tr -d ' ')
  offset=$(od -An -tu4 -j18 -N4 "$icon" | tr -d ' ')
  if [ -n "$image_id" ] && [ -n "$offset" ] && [ -n "$length" ]; then
    wrestool -x --raw -t3 -n"$image_id" "$exe" >"$work/image.bin" 2>/dev/null
    tail -c +"$((offset + 1))" "$icon" | head -c "$length" >"$work/expected.bin"
    if [ -s "$work/image.bin" ] && cmp -s "$work/image.bin" "$work/expected.bin"; then
      pass "icon image is the one in $(basename "$icon")"
    else
      fail "icon image differs from the one in $icon"
    fi
  fi
fi

# ---- Size ----
# The shipped program, the 32-bit default build, stays under 64 KiB.
size=$(stat -c %s "$exe")
limit_kib=320
[ "$kind" = default ] && [ "$width" = x86 ] && limit_kib=64
limit=$((limit_kib * 1024))
echo "size: $size bytes ($((size / 1024)) KiB), limit $limit bytes"
if [ "$size" -lt "$limit" ]; then
  pass "size under $limit_kib KiB"
else
  fail "size $size bytes is not under $limit_kib KiB"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
