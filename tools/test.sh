#!/usr/bin/env bash
# Runs every test: the logic on the simulated platform (with sanitizers),
# the executables' properties, and whole runs under Wine 8 and Wine 10: the shipped 32-bit
# build on 64-bit Windows (a win64 prefix) and on 32-bit Windows (a win32
# prefix), the 64-bit build on 64-bit Windows. Ends with a summary, also
# kept in build/test-summary.txt: each preset's result, and each test that
# did not run, with its reason, where each preset's Wine suites ran and how long
# the Wine set-up and the whole run took.
set -euo pipefail
SECONDS=0
cd "$(dirname "$0")/.."
summary=build/test-summary.txt
mkdir -p build
rm -f "$summary"
. tools/deps.sh
ensure_packages "${TEST_PACKAGES[@]}"

# Every Wine suite runs under Wine 8 and Wine 10 (LAUNCHER_WINE=8 or 10:
# that one alone; the other's suites are left out, not skipped). 32-bit Wine
# needs root once (packages, a binfmt_misc registration). Where the host
# cannot take wine32:i386, the Wine 8 suites that need it run in a private
# Debian 12 root (tools/wine_root.sh; LAUNCHER_WINE32=root asks for it even
# where the host can); the Wine 10 suites always run in a private Debian 13
# root. Where a root or 32-bit Wine cannot be had, those suites report
# themselves skipped. The summary gives why.
. tools/wine_env.sh
begun=$SECONDS
pick_wine_environments build/wine32.log
took=$((SECONDS - begun))
setup_time="Wine set-up took $((took / 60)) min $((took % 60)) s (emulations: ${WINE_EMULATIONS// / and })"
cat build/wine32.log
excluded=()
case $WINE_EMULATIONS in
  8) excluded=(-E '_wine10$') ;;
  10) excluded=(-E '_wine8$') ;;
esac
if [[ " $WINE_EMULATIONS " == *" 8 "* ]] && [ -z "$WINE32_ENV" ]; then
  echo "32-bit Wine: the Wine 8 suites of the windows-x86 build are skipped"
fi
[ -z "$WINE10_REASON" ] || echo "Wine 10: its suites are skipped"

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

# hung_suites PRESET: each Wine suite that ran a second time because Wine
# hung (tests/wine/lib.sh), with what hung: a pass says nothing of
# that first run, and a launcher that hangs now and then shows here.
hung_suites() {
  [ -f "build/$1/Testing/Temporary/LastTest.log" ] || return 0
  awk -v preset="$1" '
    /^[0-9]+\/[0-9]+ Test: / { name = $3 }
    /^Wine hung: / { sub(/^Wine hung: /, ""); print "ran again after Wine hung: " name " (" preset "): " $0 }
  ' "build/$1/Testing/Temporary/LastTest.log"
}

# emulation_results PRESET: for each emulation its Wine suites ran under
# (named by their suffix, _wine8 or _wine10), their counts and where they
# ran, as they said: "; Wine 8: 4 passed, 0 skipped, 0 failed, ran in host".
emulation_results() {
  local ran=build/$1/Testing/Temporary/LastTest.log
  [ -f "$ran" ] || ran=/dev/null
  awk '
    function emulation(name) { return match(name, /_wine[0-9]+$/) ? substr(name, RSTART + 5) : "" }
    FILENAME == ARGV[1] && /^[0-9]+\/[0-9]+ Test: / { name = $3 }
    FILENAME == ARGV[1] && /^environment: / { sub(/^environment: /, ""); e = emulation(name)
                                   if (e != "" && index(where[e] ";", "; " $0 ";") == 0) where[e] = where[e] "; " $0 }
    FILENAME == ARGV[1] { next }
    / Test +#[0-9]+: / { sub(/.*Test +#[0-9]+: /, ""); e = emulation($1)
                         if (e == "") next
                         seen[e] = 1
                         if ($0 ~ / Passed /) passed[e]++
                         else if ($0 ~ /Skipped /) skipped[e]++
                         else failed[e]++ }
    END { for (e = 0; e <= 99; e++) if (e in seen) {
            w = substr(where[e], 3); gsub(/; /, " and ", w)
            printf "; Wine %d: %d passed, %d skipped, %d failed%s", e, passed[e], skipped[e], failed[e],
                   (w == "" ? "" : ", ran in " w) } }
  ' "$ran" "build/$1/ctest.log"
}

jobs=$(nproc)
status=0
results=()
skipped=()
hung=()
for preset in host windows-x86 windows-x64; do
  echo "==== $preset"
  if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs"; then
    ctest --preset "$preset" -j "$jobs" "${excluded[@]}" | tee "build/$preset/ctest.log" || status=1
    results+=("$preset: $(preset_result "$preset")$(emulation_results "$preset")")
    while IFS= read -r line; do skipped+=("$line"); done < <(skipped_tests "$preset")
    while IFS= read -r line; do hung+=("$line"); done < <(hung_suites "$preset")
  else
    status=1
    results+=("$preset: did not build")
  fi
done

{
  echo "==== summary"
  printf '%s\n' "${results[@]}"
  [ ${#skipped[@]} -eq 0 ] || printf '%s\n' "${skipped[@]}"
  [ ${#hung[@]} -eq 0 ] || printf '%s\n' "${hung[@]}"
  [ -z "$WINE32_REASON" ] || echo "$WINE32_REASON"
  [ -z "$WINE10_REASON" ] || echo "$WINE10_REASON"
  echo "$setup_time; all took $((SECONDS / 60)) min $((SECONDS % 60)) s"
} | tee "$summary"
exit $status
