#!/usr/bin/env bash
# Runs every test: the logic on the simulated platform (with sanitizers),
# the executables' properties, and whole runs under Wine: the shipped 32-bit
# build on 64-bit Windows (a win64 prefix) and on 32-bit Windows (a win32
# prefix), the 64-bit build on 64-bit Windows. Ends with a summary, also
# kept in build/test-summary.txt: each preset's result, and each test that
# did not run, with its reason, and where each preset's Wine suites ran.
set -euo pipefail
cd "$(dirname "$0")/.."
summary=build/test-summary.txt
mkdir -p build
rm -f "$summary"
. tools/deps.sh
ensure_packages "${TEST_PACKAGES[@]}"

# 32-bit Wine needs root once (packages, a binfmt_misc registration). Where
# the host cannot take wine32:i386, the suites that need it run in a private
# Debian root (tools/wine_root.sh; LAUNCHER_WINE32=root asks for it even
# where the host can). Where neither can be had, they report themselves
# skipped. The summary gives why not the host, or why neither.
. tools/wine_env.sh
pick_wine32_environment build/wine32.log
cat build/wine32.log
[ -n "$WINE32_ENV" ] || echo "32-bit Wine: the Wine suites of the windows-x86 build are skipped"

# preset_result PRESET: counts from ctest's report, and the failed tests.
preset_result() {
  local log=build/$1/ctest.log total failed skipped names
  total=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log")
  [ -n "$total" ] || { echo "ctest gave no result"; return; }
  failed=$(sed -n 's/.*, \([0-9]*\) tests failed out of .*/\1/p' "$log")
  skipped=$(grep -c ' (Skipped)$' "$log" || true)
  names=$(awk '/^The following tests FAILED:/ { on = 1; next }
               on && /^\t *[0-9]+ - / { print $3; next } { on = 0 }' "$log" | paste -sd ' ' -)
  echo "$((total - failed - skipped)) passed, $skipped skipped, $failed failed of $total${names:+ (failed: $names)}"
}

# skipped_tests PRESET: each test ctest lists as skipped, with the reason
# it printed ("SKIPPED (<build and prefix>): <reason>").
skipped_tests() {
  [ -f "build/$1/Testing/Temporary/LastTest.log" ] || return 0
  awk -v preset="$1" '
    FNR == NR && /^[0-9]+\/[0-9]+ Test: / { name = $3 }
    FNR == NR && /^SKIPPED / { sub(/^SKIPPED \([^)]*\): /, ""); why[name] = $0 }
    FNR == NR { next }
    / \(Skipped\)$/ { print "skipped " $3 " (" preset "): " ($3 in why ? why[$3] : "no reason given") }
  ' "build/$1/Testing/Temporary/LastTest.log" "build/$1/ctest.log"
}

# wine_environments PRESET: where its Wine suites ran, as they said.
wine_environments() {
  local log=build/$1/Testing/Temporary/LastTest.log
  [ -f "$log" ] || return 0
  sed -n 's/^environment: //p' "$log" | sort -u | paste -sd ';' - | sed 's/;/ and /g'
}

jobs=$(nproc)
status=0
results=()
skipped=()
for preset in host windows-x86 windows-x64; do
  echo "==== $preset"
  if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs"; then
    ctest --preset "$preset" -j "$jobs" | tee "build/$preset/ctest.log" || status=1
    where=$(wine_environments "$preset")
    results+=("$preset: $(preset_result "$preset")${where:+; Wine suites ran in: $where}")
    while IFS= read -r line; do skipped+=("$line"); done < <(skipped_tests "$preset")
  else
    status=1
    results+=("$preset: did not build")
  fi
done

{
  echo "==== summary"
  printf '%s\n' "${results[@]}"
  [ ${#skipped[@]} -eq 0 ] || printf '%s\n' "${skipped[@]}"
  [ -z "$WINE32_REASON" ] || echo "$WINE32_REASON"
} | tee "$summary"
exit $status
