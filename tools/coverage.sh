#!/usr/bin/env bash
# Line and branch coverage of src/ by the host tests (gcov, reported by gcovr).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages cmake make g++ libgtest-dev libssl-dev gcovr
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j "$(nproc)"
find build/coverage -name '*.gcda' -delete
ctest --preset coverage -j "$(nproc)" >/dev/null
# Branch figures count only branches of the code itself, not those the
# compiler adds for exceptions.
for kind in lines branches; do
  flag=""
  [ "$kind" = branches ] && flag=--branches
  echo "== $kind"
  gcovr build/coverage --root . --filter 'src/' --exclude-throw-branches \
    --exclude-unreachable-branches $flag
done
