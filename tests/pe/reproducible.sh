#!/usr/bin/env bash
# Two builds of the shipped preset from two copies of the sources give the
# same launcher.exe, byte for byte:
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

# build DIR JOBS: prints the built executable's path.
build() {
  copy_sources "$1"
  (cd "$1" && cmake --preset windows-x86 >/dev/null &&
    cmake --build --preset windows-x86 --target launcher -j "$2" >/dev/null) || return 1
  echo "$1/build/windows-x86/launcher.exe"
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
