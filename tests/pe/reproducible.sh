#!/usr/bin/env bash
# Two builds of the shipped preset from two copies of the sources give the
# same launcher.exe, byte for byte, and then, pinned to a kit, the same kit
# folder (the kit target); a kit folder without data.exe fails to configure:
#
#   reproducible.sh SOURCE_DIR
#
# The copies lie at paths of different lengths and are built one after the
# other (so at different times), with different parallelism.
set -euo pipefail
source=${1:?usage: reproducible.sh SOURCE_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# copy_sources DEST: the files git does not ignore, as they are in the work
# tree, or everything but the build folders where there is no git.
copy_sources() {
  mkdir -p "$1"
  if git -C "$source" rev-parse --git-dir >/dev/null 2>&1; then
    git -C "$source" ls-files -z --cached --others --exclude-standard |
      tar -C "$source" --null -T - --ignore-failed-read -cf - | tar -C "$1" -xf -
  else
    tar -C "$source" --exclude=./build -cf - . | tar -C "$1" -xf -
  fi
}

# A kit to pin: an installer stand-in and one response file. Neither is what
# a shipped kit holds, so the kit's checks only warn (LAUNCHER_KIT_CHECK=OFF):
# what this test is about is the same bytes from the same kit.
mkdir -p "$work/kit"
printf 'MZ a new installer' >"$work/kit/data.exe"
printf '[responses]\r\n' >"$work/kit/setup.iss"

# build DIR JOBS: prints the built executable's path; the pinned kit is
# then in DIR/kit.
build() {
  copy_sources "$1"
  (cd "$1" && cmake --preset windows-x86 >/dev/null &&
    cmake --build --preset windows-x86 --target launcher -j "$2" >/dev/null &&
    cp build/windows-x86/launcher.exe "$1/launcher.exe" &&
    cmake --preset windows-x86 -DLAUNCHER_KIT="$work/kit" -DLAUNCHER_KIT_CHECK=OFF >/dev/null 2>&1 &&
    cmake --build --preset windows-x86 --target kit -j "$2" >/dev/null &&
    mv build/windows-x86/kit "$1/kit") || return 1
  echo "$1/launcher.exe"
}

first=$(build "$work/a" 1)
second=$(build "$work/another/copy_of_the_sources" 2)
sha256sum "$first" "$second"
if ! cmp "$first" "$second"; then
  echo "FAIL: the two builds differ; their headers:"
  diff <(objdump -p "$first") <(objdump -p "$second") | head -n 40
  exit 1
fi
echo "ok: both builds are the same"

(cd "$(dirname "$first")/kit" && sha256sum -c SHA256SUMS) || exit 1
diff -r "$(dirname "$first")/kit" "$(dirname "$second")/kit" || exit 1
echo "ok: both pinned kits are the same"

rm "$work/kit/data.exe"
# CMake wraps its messages: the words are compared with the lines joined.
if ! output=$(cd "$work/a" && cmake --preset windows-x86 -DLAUNCHER_KIT="$work/kit" 2>&1) &&
    tr -s ' \n' '  ' <<<"$output" | grep -q 'LAUNCHER_KIT has no data.exe'; then
  echo "ok: a kit without data.exe fails to configure"
else
  echo "FAIL: a kit without data.exe configured"
  exit 1
fi
