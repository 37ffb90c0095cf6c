# shellcheck shell=bash disable=SC2034 # its variables are for the caller
# Sourced by tools/test.sh: under which emulations the Wine suites run, and
# where.
#   pick_wine_environments LOG
# LAUNCHER_WINE=8 or 10 limits them to that one; unset, both run. Sets
# WINE_EMULATIONS ("8 10", "8" or "10"); returns 2, saying why, for any
# other value. Wine 8 as pick_wine32_environment finds it; Wine 10 in its
# private root (tools/wine_root.sh setup 10), WINE10_ENV "root" or "" (those
# suites then report themselves skipped) and WINE10_REASON the line that
# says why not. The host's emulator for 32-bit programs (tools/wine32.sh)
# serves both roots, so it is set up either way. Everything goes to LOG.
pick_wine_environments() {
  local log=$1 tools
  tools=$(dirname "${BASH_SOURCE[0]}")
  case ${LAUNCHER_WINE:-} in
    "") WINE_EMULATIONS="8 10" ;;
    8 | 10) WINE_EMULATIONS=$LAUNCHER_WINE ;;
    *) echo "LAUNCHER_WINE is 8 or 10 (or unset, for both), not $LAUNCHER_WINE" >&2; return 2 ;;
  esac
  pick_wine32_environment "$log"
  WINE10_ENV=""
  WINE10_REASON=""
  [[ " $WINE_EMULATIONS " == *" 10 "* ]] || return 0
  if "$tools/wine_root.sh" setup 10 >>"$log" 2>&1; then
    WINE10_ENV=root
  else
    WINE10_REASON=$(grep -m1 '^Wine 10: the private root' "$log" ||
                    echo "Wine 10: tools/wine_root.sh failed: $(tail -1 "$log")")
  fi
}

# pick_wine32_environment LOG: where the Wine 8 suites that need 32-bit Wine
# run. The host first (tools/wine32.sh); where the host cannot take
# wine32:i386 (its exit 3), or LAUNCHER_WINE32=root asks for it, the private
# root (tools/wine_root.sh setup 8); a root asked for but not had leaves the
# host, where it serves. Both write to LOG. Sets WINE32_ENV to "host", "root"
# or "" (neither: those suites report themselves skipped) and WINE32_REASON
# to the line that says why not the host, or why not the root; exports
# LAUNCHER_WINE32=root for the suites when it is the root, and unsets it
# otherwise. Where Wine 8 is not among WINE_EMULATIONS, only the host is set
# up, and nothing is said.
pick_wine32_environment() {
  local log=$1 tools status=0
  tools=$(dirname "${BASH_SOURCE[0]}")
  WINE32_ENV=""
  WINE32_REASON=""
  "$tools/wine32.sh" >"$log" 2>&1 || status=$?
  if [[ " ${WINE_EMULATIONS:-8} " != *" 8 "* ]]; then
    unset LAUNCHER_WINE32
    return 0
  fi
  if [ "$status" -ne 0 ]; then
    WINE32_REASON=$(grep -m1 '^32-bit Wine: \(not on the host\|cannot be set up here\)' "$log" ||
                    echo "32-bit Wine: tools/wine32.sh failed (exit code $status): $(tail -1 "$log")")
  fi
  if [ "$status" -eq 3 ] || { [ "$status" -eq 0 ] && [ "${LAUNCHER_WINE32:-}" = root ]; }; then
    if "$tools/wine_root.sh" setup 8 >>"$log" 2>&1; then
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
