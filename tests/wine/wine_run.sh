# Sourced by lib.sh: Wine itself, the prefixes, and running Windows programs
# in them, each run with a limit on its time.

# ---- Wine ----

find_wine() {
  WINE64=""
  local candidate
  for candidate in "$(command -v wine64 2>/dev/null)" /usr/lib/wine/wine64 \
                   /usr/lib64/wine/wine64 /opt/wine-stable/bin/wine64; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then WINE64=$candidate; break; fi
  done
  WINESERVER=""
  for candidate in /usr/lib/wine/wineserver64 "$(command -v wineserver 2>/dev/null)" \
                   /usr/lib64/wine/wineserver /opt/wine-stable/bin/wineserver; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then WINESERVER=$candidate; break; fi
  done
  if [ -z "$WINE64" ] || [ -z "$WINESERVER" ]; then
    die "64-bit Wine is not installed (wine64 and wineserver are needed)"
  fi
  # The 32-bit loader, only needed for 32-bit programs; absent here is fine.
  WINE32=""
  for candidate in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine; do
    if [ -x "$candidate" ]; then WINE32=$candidate; break; fi
  done
}

# Creates and initialises the prefix $1 for the Wine architecture $2.
boot_prefix() {
  local prefix=$1 arch=$2 loader=$WINE64
  [ "$arch" = win32 ] && loader=$WINE32
  mkdir -p "$prefix"
  WINEPREFIX=$prefix WINEARCH=$arch "$loader" wineboot --init \
    >"$WORK/wineboot-$arch.log" 2>&1
  WINEPREFIX=$prefix "$WINESERVER" -w
  [ -d "$prefix/drive_c/windows/system32" ] ||
    die "wineboot did not create $prefix (see $WORK/wineboot-$arch.log)"
}

# use_prefix PREFIX BITS: runs the programs of a BITS-bit build there, each
# through the loader of its own width (the 64-bit loader would hand a 32-bit
# program on to the 32-bit one).
use_prefix() {
  export WINEPREFIX=$1
  DRIVE_C=$WINEPREFIX/drive_c
  if [ "$2" -eq 32 ]; then WINE_LOADER=$WINE32; else WINE_LOADER=$WINE64; fi
}

# The width of a Windows executable: 32 or 64.
pe_bits() { if file -b "$1" | grep -q '^PE32+'; then echo 64; else echo 32; fi; }

cleanup() {
  local prefix
  for prefix in "$WORK"/prefix*; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix "$WINESERVER" -k >/dev/null 2>&1
  done
  rm -rf "$WORK"
}

# wine_in OUTPUT UNIX_CWD PROGRAM [ARGUMENT...]: runs a Windows program from
# the Unix folder UNIX_CWD (which Wine makes the program's current folder),
# everything it prints to the file OUTPUT. A file, not a pipe: a pipe would
# stay open, and the shell wait, as long as any process started from the
# program (its children, a newly started wineserver) holds it.
#
# A run that goes on past WINE_RUN_LIMIT seconds is ended and marked with a
# file OUTPUT.hung; the caller then calls wine_hung.
WINE_RUN_LIMIT=${LAUNCHER_WINE_RUN_LIMIT:-240}
wine_in() {
  local output=$1 folder=$2 began=$SECONDS status
  shift 2
  (cd "$folder" && exec timeout -k 10 "$WINE_RUN_LIMIT" "$WINE_LOADER" "$@") </dev/null >"$output" 2>&1
  status=$?
  [ $((SECONDS - began)) -lt "$WINE_RUN_LIMIT" ] || echo "$*" >"$output.hung"
  return "$status"
}

# wine_hung WHAT: a run, or the wait for the prefix, went on past the limit.
# Now and then, under qemu-user, a Wine process never ends (a few times in
# many thousand runs); a launcher that hangs hangs on every run. So the
# suite starts again once, whole, from a fresh prefix, and a second hang
# fails it, as does a check that failed before the first. tools/test.sh's
# summary names each suite that ran again.
wine_hung() {
  echo "Wine hung: $1 went on past $WINE_RUN_LIMIT s"
  "$WINESERVER" -k >/dev/null 2>&1
  [ "$failures" -eq 0 ] || die "$failures check(s) had failed before it hung"
  [ -z "${LAUNCHER_WINE_RERUN:-}" ] || die "it hung again on the suite's second run"
  echo "running the suite again, whole, from a fresh prefix"
  cleanup
  trap - EXIT
  LAUNCHER_WINE_RERUN=1 exec bash "$SUITE_SCRIPT"
}

# printed OUTPUT: what the programs of one run printed. Each run writes a
# file of its own: the prefix's own processes (services, the desktop) keep
# the stderr of the run that started them, and what they print later must
# not land in another run's output.
#
# The one difference between the emulations that a suite is told of: under
# Wine 10, a 32-bit Wine process whose threads the server ends (the prefix's
# own processes when the server shuts down, or a process another one
# terminates) crashes in qemu-user on its way out, and qemu reports it on
# that stderr. Wine 8 ends the same threads cleanly. Such lines are the
# emulator's, not a program's; they are set aside here, counted in a note,
# never silently. A program that crashed while it still ran shows all the
# same: the loader's status is then qemu's 139, and a stand-in's records
# stop short.
QEMU_CRASH='qemu: uncaught target signal 11 (Segmentation fault) - core dumped'
printed() {
  local text crashes
  text=$(tr -d '\r' <"$1")
  if [ "$EMULATION" = 10 ]; then
    crashes=$(grep -acxF "$QEMU_CRASH" <<<"$text" || true)
    [ "$crashes" -eq 0 ] || note "Wine 10: qemu's report of $crashes 32-bit process(es) ended by the server, set aside" >&2
    text=$(grep -avxF "$QEMU_CRASH" <<<"$text" || true)
  fi
  printf '%s' "$text"
}

# run_in UNIX_CWD PROGRAM [ARGUMENT...]: runs it in the foreground; sets
# RUN_STATUS to its exit code and RUN_OUTPUT to what it printed.
run_in() {
  local output
  output=$(mktemp "$WORK/run.XXXXXX")
  wine_in "$output" "$@"
  RUN_STATUS=$?
  [ ! -e "$output.hung" ] || wine_hung "$(cat "$output.hung")"
  RUN_OUTPUT=$(printed "$output")
}

# start_in UNIX_CWD PROGRAM [ARGUMENT...]: starts it in the background;
# background_status waits for it and sets BACKGROUND_STATUS and
# BACKGROUND_OUTPUT.
start_in() {
  BACKGROUND_FILE=$(mktemp "$WORK/background.XXXXXX")
  wine_in "$BACKGROUND_FILE" "$@" &
  BACKGROUND_PID=$!
}
# background_ends_within SECONDS: whether the program started last has
# ended by then (the loader's Unix process is the Windows process).
background_ends_within() {
  local tenths=$(( $1 * 10 ))
  while kill -0 "$BACKGROUND_PID" 2>/dev/null; do
    [ "$tenths" -gt 0 ] || return 1
    tenths=$((tenths - 1))
    sleep 0.1
  done
}
background_status() {
  wait "$BACKGROUND_PID"
  BACKGROUND_STATUS=$?
  [ ! -e "$BACKGROUND_FILE.hung" ] || wine_hung "$(cat "$BACKGROUND_FILE.hung")"
  BACKGROUND_OUTPUT=$(printed "$BACKGROUND_FILE")
}

# Waits until every process of the prefix has ended.
wait_prefix() {
  timeout "$WINE_RUN_LIMIT" "$WINESERVER" -w
  [ $? -ne 124 ] || wine_hung "waiting for the prefix's processes"
}
