# Sourced by tools/test.sh: where the Wine suites that need 32-bit Wine run.
#   pick_wine32_environment LOG
# The host first (tools/wine32.sh); where the host cannot take wine32:i386
# (its exit 3), or LAUNCHER_WINE32=root asks for it, the private root
# (tools/wine_root.sh); a root asked for but not had leaves the host, where
# it serves. Both write to LOG. Sets WINE32_ENV to "host", "root" or ""
# (neither: those suites report themselves skipped) and WINE32_REASON to the
# line that says why not the host, or why not the root; exports
# LAUNCHER_WINE32=root for the suites when it is the root, and unsets it
# otherwise.
pick_wine32_environment() {
  local log=$1 tools status=0
  tools=$(dirname "${BASH_SOURCE[0]}")
  WINE32_ENV=""
  WINE32_REASON=""
  "$tools/wine32.sh" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    WINE32_REASON=$(grep -m1 '^32-bit Wine: \(not on the host\|cannot be set up here\)' "$log" ||
                    echo "32-bit Wine: tools/wine32.sh failed (exit code $status): $(tail -1 "$log")")
  fi
  if [ "$status" -eq 3 ] || { [ "$status" -eq 0 ] && [ "${LAUNCHER_WINE32:-}" = root ]; }; then
    if "$tools/wine_root.sh" setup >>"$log" 2>&1; then
      WINE32_ENV=root
      export LAUNCHER_WINE32=root
      return 0
    fi
    WINE32_REASON="${WINE32_REASON:+$WINE32_REASON; }$(grep -m1 '^32-bit Wine: the private root' "$log" ||
                   echo "32-bit Wine: tools/wine_root.sh failed: $(tail -1 "$log")")"
  fi
  unset LAUNCHER_WINE32
  [ "$status" -ne 0 ] || WINE32_ENV=host
}
