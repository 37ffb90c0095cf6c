#!/usr/bin/env bash
# Static analysis and style: clang-format and clang-tidy over every source,
# the Windows realisation against the mingw-w64 headers. Fails on a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
# clang-tidy counts the warnings it suppressed in system headers on stderr.
quiet() { "$@" 2> >(grep -v ' warnings generated\.$' >&2); }
. tools/deps.sh
ensure_packages clang-format clang-tidy cmake g++ libgtest-dev libssl-dev g++-mingw-w64-i686-posix

sources=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'fuzz/*.cpp')
echo "== clang-format"
clang-format --dry-run --Werror $sources

echo "== clang-tidy (host)"
cmake --preset host >/dev/null
host_sources=$(git ls-files 'src/*.cpp' 'tests/*.cpp' |
  grep -vE 'src/platform/windows/|launcher/main\.cpp|report/run_build\.cpp|tests/wine/')
quiet clang-tidy -p build/host --quiet $host_sources

echo "== clang-tidy (Windows)"
cmake --preset windows-x86 >/dev/null
gcc_dir=$(dirname "$(i686-w64-mingw32-g++-posix -print-libgcc-file-name)")
windows_flags=(--target=i686-w64-mingw32 -std=c++17 -Isrc -Ibuild/windows-x86/generated -Ibuild/windows-x86/pins
  -isystem "$gcc_dir/include/c++" -isystem "$gcc_dir/include/c++/i686-w64-mingw32"
  -isystem "$gcc_dir/include/c++/backward")
# The realisation and the entry, each file once; the entry again as the
# signed-kit build compiles it (the test keys' header of the windows-x86
# tree stands for the publisher's).
quiet clang-tidy --quiet $(git ls-files 'src/platform/windows/*.cpp') src/launcher/main.cpp \
  src/report/run_build.cpp -- "${windows_flags[@]}"
quiet clang-tidy --quiet src/launcher/main.cpp -- \
  "${windows_flags[@]}" -DLAUNCHER_SIGNED_KIT=1 -Ibuild/windows-x86/signed_pins
echo "lint: clean"
