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
  grep -vE 'windows_platform|windows_secured|windows_advapi32|windows_handles|windows_report|windows_signature|windows_system_dll|launcher/main|tests/wine/')
quiet clang-tidy -p build/host --quiet $host_sources

echo "== clang-tidy (Windows)"
cmake --preset windows-x86 >/dev/null
gcc_dir=$(dirname "$(i686-w64-mingw32-g++-posix -print-libgcc-file-name)")
windows_flags=(--target=i686-w64-mingw32 -std=c++17 -Isrc -Ibuild/windows-x86/generated -Ibuild/windows-x86/pins
  -isystem "$gcc_dir/include/c++" -isystem "$gcc_dir/include/c++/i686-w64-mingw32"
  -isystem "$gcc_dir/include/c++/backward")
quiet clang-tidy --quiet src/platform/windows_platform.cpp src/platform/windows_secured.cpp src/platform/windows_advapi32.cpp src/platform/windows_handles.cpp src/platform/windows_system_dll.cpp src/launcher/main.cpp src/platform/windows_runtime.cpp -- "${windows_flags[@]}"
# The report build's members of the same files.
quiet clang-tidy --quiet src/platform/windows_platform.cpp src/platform/windows_report.cpp src/launcher/main.cpp -- \
  "${windows_flags[@]}" -DLAUNCHER_REPORT=1 -DLAUNCHER_REPORT_TIME_LIMIT_MS=0u
# The signed-kit build's members (the test keys' header of the windows-x86
# tree stands for the publisher's).
quiet clang-tidy --quiet src/platform/windows_platform.cpp src/platform/windows_signature.cpp src/launcher/main.cpp -- \
  "${windows_flags[@]}" -DLAUNCHER_SIGNED_KIT=1 -Ibuild/windows-x86/signed_pins
echo "lint: clean"
