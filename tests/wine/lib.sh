# Shared by the Wine suites: a private Wine prefix, the build under test, the
# stand-in programs, the record log they write, and the checks. Sourced, not
# run. Environment: see wine_suite_start.
set -u

failures=0
checks=0

section() { printf '\n== %s\n' "$*"; }
note() { printf '   %s\n' "$*"; }
pass() { checks=$((checks + 1)); printf 'ok:   %s\n' "$1"; }
fail() {
  checks=$((checks + 1))
  failures=$((failures + 1))
  printf 'FAIL: %s\n' "$1"
  shift
  local line
  for line in "$@"; do printf '        %s\n' "$line"; done
}
# check_eq WHAT EXPECTED ACTUAL
check_eq() {
  if [ "$2" = "$3" ]; then
    pass "$1"
  else
    fail "$1" "expected: [$2]" "actual:   [$3]"
  fi
}
# check WHAT COMMAND... : passes when the command succeeds.
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
  echo
  if [ "$failures" -ne 0 ]; then
    echo "$failures of $checks checks failed ($CONFIG)"
    exit 1
  fi
  echo "all $checks checks passed ($CONFIG)"
  exit 0
}
die() {
  echo "FAIL: $*"
  exit 1
}

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
# Now and then, under qemu-user, a Wine process never ends (about once in
# two full test runs, in different programs); a launcher that hangs hangs on every run. So the
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
# ended by then (the loader's Unix process is the Windows process). One that
# has not is waited for: ending late is the program's fault (false), never
# ending within the run limit is Wine's (wine_hung).
background_ends_within() {
  local tenths=$(( $1 * 10 ))
  while kill -0 "$BACKGROUND_PID" 2>/dev/null; do
    if [ "$tenths" -le 0 ]; then
      while kill -0 "$BACKGROUND_PID" 2>/dev/null; do sleep 1; done
      [ ! -e "$BACKGROUND_FILE.hung" ] || wine_hung "$(cat "$BACKGROUND_FILE.hung")"
      return 1
    fi
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

# ---- Builds and prefixes ----

build_has_programs() {
  local dir=$1 program
  for program in launcher.exe test_programs/stand_in.exe \
                 test_programs/delete_tree.exe test_programs/fs_probe.exe \
                 test_programs/pinned_launcher.exe test_programs/marker.dll \
                 test_programs/report_launcher.exe test_programs/exit_code.exe \
                 test_programs/hold_mutex.exe \
                 test_programs/kit/data.exe \
                 test_programs/kit/setup.iss test_programs/kit/uninstall.iss; do
    [ -f "$dir/$program" ] || return 1
  done
}

# The project's folder, which holds this library, and the suite being run.
PROJECT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SUITE_SCRIPT=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

# Why 32-bit Windows programs cannot run here; nothing when they can. The
# 32-bit loader is itself an i386 program: it runs where the kernel runs
# those, or hands them to an emulator through binfmt_misc.
wine32_missing() {
  if [ -z "$WINE32" ]; then
    echo "the 32-bit Wine loader (wine32:i386) is not installed"
  elif ! "$WINE32" --version >/dev/null 2>&1; then
    echo "i386 programs do not run on this kernel and binfmt_misc has no emulator for them"
  fi
}

# enter_root 8|10: runs this suite again, whole, in that private root; exits
# 77 (skipped) when the root is not made.
enter_root() {
  local why
  why=$("$PROJECT_DIR/tools/wine_root.sh" ready "$1") || {
    echo "SKIPPED ($CONFIG): $why"
    exit 77
  }
  exec "$PROJECT_DIR/tools/wine_root.sh" run "$1" "$PROJECT_DIR" "$(cd "$BUILD" && pwd)" -- \
    bash "$SUITE_SCRIPT"
}

# Sets up the work folder, the prefix and the build; call first.
# Environment: LAUNCHER_BUILD_DIR (a built Windows tree, required) and
# LAUNCHER_WINE_PREFIX (win64, the default, or win32). A 32-bit build runs in
# either prefix: a win64 one is 64-bit Windows with its 32-bit layer, a
# win32 one is 32-bit Windows. A 64-bit build runs in a win64 prefix only.
# LAUNCHER_WINE_EMULATION (8, the default, or 10) names the emulation: Wine
# 8 runs on the host, Wine 10 in its private root (tools/wine_root.sh),
# which the suite enters, whole, with the project and the build at their own
# paths. With LAUNCHER_WINE32=root (tools/test.sh sets it where the host
# cannot take 32-bit Wine) a Wine 8 suite that needs it runs in the Wine 8
# root the same way. Exits 77 (skipped) when the root or 32-bit Wine is
# needed and cannot be had here. Sets BUILD, BUILD_NAME, BUILD_BITS,
# PREFIX_ARCH, EMULATION, WIDTHS (the Windows widths this setting can show),
# DEFAULT_BITS (the one in force at first) and CONFIG.
wine_suite_start() {
  find_wine
  BUILD=${LAUNCHER_BUILD_DIR:?LAUNCHER_BUILD_DIR must name a Windows build tree}
  PREFIX_ARCH=${LAUNCHER_WINE_PREFIX:-win64}
  build_has_programs "$BUILD" ||
    die "the build tree $BUILD lacks the launcher or the test programs; build it first"
  BUILD_BITS=$(pe_bits "$BUILD/launcher.exe")
  if [ "$BUILD_BITS" -eq 64 ]; then BUILD_NAME=windows-x64; else BUILD_NAME=windows-x86; fi
  case "$BUILD_BITS/$PREFIX_ARCH" in
    64/win64) WIDTHS="64 32" ;;
    32/win64) WIDTHS="64" ;;
    32/win32) WIDTHS="32" ;;
    *) die "a $BUILD_NAME build cannot run in a $PREFIX_ARCH prefix" ;;
  esac
  DEFAULT_BITS=${WIDTHS%% *}
  EMULATION=${LAUNCHER_WINE_EMULATION:-8}
  CONFIG="$BUILD_NAME build, $PREFIX_ARCH prefix, Wine $EMULATION"
  if [ "$EMULATION" = 10 ] && [ -z "${LAUNCHER_WINE_ENVIRONMENT:-}" ]; then
    enter_root 10
  fi
  if [ "$BUILD_BITS" -eq 32 ] || [ "$PREFIX_ARCH" = win32 ]; then
    [ "${LAUNCHER_WINE32:-}" != root ] || enter_root 8
    local missing
    missing=$(wine32_missing)
    if [ -n "$missing" ]; then
      echo "SKIPPED ($CONFIG): $missing (tools/wine32.sh sets it up, as root)"
      exit 77
    fi
  fi
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/launcher-wine.XXXXXX")
  trap cleanup EXIT
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  # Unix names as UTF-8 and the ANSI code page 1252, whatever the caller's
  # locale: the suites write names the code page cannot carry.
  export LC_ALL=C.UTF-8
  unset WINEARCH DISPLAY WAYLAND_DISPLAY
  local version
  version=$("$WINE64" --version 2>/dev/null)
  echo "wine: $version, server $WINESERVER"
  [[ $version == wine-"$EMULATION".* ]] || die "Wine $EMULATION was asked for, $WINE64 is ${version:-silent}"
  echo "environment: ${LAUNCHER_WINE_ENVIRONMENT:-host}"
  echo "running the $CONFIG: $BUILD"
  echo "work folder: $WORK"
  boot_prefix "$WORK/prefix" "$PREFIX_ARCH"
  use_prefix "$WORK/prefix" "$BUILD_BITS"
  export STANDIN_LOG='C:\records.log'
  LOG=$DRIVE_C/records.log
  STAND_IN=$BUILD/test_programs/stand_in.exe
}

# Makes the system look like 64-bit or 32-bit Windows to the launcher, where
# this setting can (see WIDTHS). Only the 64-bit build in a win64 prefix can
# show both: its SysWOW64 folder is renamed away for 32 bits. A 32-bit
# program cannot start at all without it, so a 32-bit build sees the width
# of its prefix.
set_width() {
  local bits=$1
  [[ " $WIDTHS " == *" $bits "* ]] || die "the $CONFIG cannot show ${bits}-bit Windows"
  if [ "$BUILD_BITS" -eq 64 ]; then
    local wow=$DRIVE_C/windows/syswow64
    if [ "$bits" -eq 32 ] && [ -d "$wow" ]; then mv "$wow" "$wow.away"; fi
    if [ "$bits" -eq 64 ] && [ -d "$wow.away" ]; then mv "$wow.away" "$wow"; fi
  fi
  # What a Windows program sees decides; a rename it did not notice would
  # make every width check below meaningless.
  stage_tools
  run_in "$DRIVE_C" 'C:\tools\fs_probe.exe' attributes 'C:\Windows\SysWOW64'
  if [ "$bits" -eq 64 ]; then
    [ "$RUN_STATUS" -eq 0 ] || die "C:\\Windows\\SysWOW64 is missing in the 64-bit setting"
  else
    [ "$RUN_STATUS" -eq 1 ] || die "C:\\Windows\\SysWOW64 is still visible in the 32-bit setting"
  fi
  echo "width: ${bits}-bit Windows (C:\\Windows\\SysWOW64 $([ "$bits" -eq 64 ] && echo present || echo absent))"
}

# Copies the helper programs to C:\tools of the current prefix.
stage_tools() {
  if [ ! -f "$DRIVE_C/tools/fs_probe.exe" ]; then
    mkdir -p "$DRIVE_C/tools"
    cp "$BUILD/test_programs/fs_probe.exe" "$BUILD/test_programs/delete_tree.exe" \
       "$BUILD/test_programs/exit_code.exe" "$BUILD/test_programs/hold_mutex.exe" \
       "$DRIVE_C/tools/"
  fi
}

# ---- Paths and files ----

# The previous installation's maintenance folders, for the product code the
# build was configured with.
PRODUCT=${LAUNCHER_PRODUCT_CODE:-'{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}'}
M64="C:\\Program Files (x86)\\InstallShield Installation Information\\$PRODUCT"
M32="C:\\Program Files\\InstallShield Installation Information\\$PRODUCT"
maintenance_folder_for() { if [ "$1" -eq 64 ]; then echo "$M64"; else echo "$M32"; fi; }

# The Unix path of a C: path ("C:\a\b" -> "$DRIVE_C/a/b").
unix_of() {
  local path=${1#C:\\}
  echo "$DRIVE_C/${path//\\//}"
}

# put_stand_in WINDOWS_PATH [SLEEP_MS]
put_stand_in() {
  local target
  target=$(unix_of "$1")
  mkdir -p "$(dirname "$target")"
  cp "$STAND_IN" "$target"
  rm -f "$target.sleep" "$target.exitcode" "$target.load" "$target.child" \
        "$target.result"
  if [ -n "${2:-}" ]; then echo "$2" >"$target.sleep"; fi
}

# put_file WINDOWS_PATH CONTENT
put_file() {
  local target
  target=$(unix_of "$1")
  mkdir -p "$(dirname "$target")"
  printf '%s' "$2" >"$target"
}

# The bytes of a file, or of a text, as lower-case hexadecimal.
hex_of() { od -An -v -tx1 "$1" | tr -d ' \n'; }
hex_text() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'; }

# Sets the read-only attribute through the system's own attrib command and
# confirms the system reports it.
make_read_only() {
  run_in "$DRIVE_C" attrib +r "$1"
  run_in "$DRIVE_C" 'C:\tools\fs_probe.exe' attributes "$1"
  if [ "$RUN_STATUS" -ne 0 ] || (( (RUN_OUTPUT & 0x01) == 0 )); then
    die "attrib +r did not make $1 read-only (attributes $RUN_OUTPUT)"
  fi
}

# Entries below a Unix folder, one per line as "<type> <relative path>"
# (d folder, f file, l link), sorted; links are not followed.
tree_of() { (cd "$1" && find . -mindepth 1 -printf '%y %P\n' | LC_ALL=C sort); }

# ---- The record log ----

reset_log() { rm -f "$LOG"; }

# Fields of a start record: 1 kind, 2 time, 3 process id, 4 module,
# 5 command line, 6 current folder, 7 uninstall.iss in its folder as hex.
# started_modules: the modules of all start records, in order, one per line.
started_modules() {
  [ -f "$LOG" ] || return 0
  awk -F'\t' '$1 == "start" { print $4 }' "$LOG"
}
# record_field KIND MODULE FIELD: the field of the first such record.
record_field() {
  [ -f "$LOG" ] || return 0
  # Values go through the environment: awk -v would read backslashes in
  # Windows paths as escapes.
  KIND=$1 MODULE=$2 FIELD=$3 awk -F'\t' \
    '$1 == ENVIRON["KIND"] && $4 == ENVIRON["MODULE"] { print $ENVIRON["FIELD"]; exit }' "$LOG"
}
# record_line KIND MODULE: the line number of the first such record.
record_line() {
  [ -f "$LOG" ] || return 0
  KIND=$1 MODULE=$2 awk -F'\t' \
    '$1 == ENVIRON["KIND"] && $4 == ENVIRON["MODULE"] { print NR; exit }' "$LOG"
}
ends_recorded() {
  [ -f "$LOG" ] || { echo 0; return; }
  awk -F'\t' '$1 == "end"' "$LOG" | wc -l
}

# check_started WHAT MODULE... : exactly these programs started, in order.
check_started() {
  local what=$1
  shift
  local expected=""
  local module
  for module in "$@"; do expected+="$module"$'\n'; done
  local actual
  actual=$(started_modules)
  [ -n "$actual" ] && actual+=$'\n'
  if [ "$expected" = "$actual" ]; then
    pass "$what"
  else
    fail "$what" "expected to start: [$(printf '%s' "$expected" | paste -sd'|')]" \
                 "started:           [$(printf '%s' "$actual" | paste -sd'|')]"
  fi
}

# ---- Running the launcher ----

# launch UNIX_CWD LAUNCHER [ARGUMENT...]: runs the launcher in the foreground,
# notes its exit code (LAUNCH_STATUS), its duration in milliseconds
# (LAUNCH_MS) and how many stand-ins had ended when it returned
# (ENDS_AT_RETURN), then waits for every process of the prefix.
launch() {
  local folder=$1
  shift
  local begin end
  begin=$(date +%s%N)
  run_in "$folder" "$@"
  end=$(date +%s%N)
  LAUNCH_STATUS=$RUN_STATUS
  LAUNCH_MS=$(( (end - begin) / 1000000 ))
  ENDS_AT_RETURN=$(ends_recorded)
  LAUNCH_OUTPUT=$RUN_OUTPUT
  wait_prefix
}

# The checks every launcher run gets: exit code 0, nothing written (Wine's
# own messages are off, so anything here came from the launcher).
# check_launch_status [STATUS OUTPUT]: of a run other than the last launch.
check_launch_status() {
  check_eq "launcher exit code is 0" 0 "${1-$LAUNCH_STATUS}"
  check_eq "launcher writes nothing" "" "${2-$LAUNCH_OUTPUT}"
}

# Confirms what the checks rest on: the stand-in records under Wine, Wine
# hands a program's exit code back as its own, and keeps arguments as given.
harness_check() {
  section "harness: stand-in under Wine"
  put_stand_in 'C:\harness\probe.exe'
  echo 7 >"$(unix_of 'C:\harness\probe.exe').exitcode"
  mkdir -p "$DRIVE_C/harness/cwd"
  reset_log
  run_in "$DRIVE_C/harness/cwd" 'C:\harness\probe.exe' 'a b' ''
  wait_prefix
  check_eq "Wine returns the program's exit code as its own" 7 "$RUN_STATUS"
  check_eq "the stand-in records its module" 'C:\harness\probe.exe' \
    "$(started_modules)"
  check_eq "the stand-in records its command line as Wine composed it" \
    '"C:\harness\probe.exe" "a b" ""' "$(record_field start 'C:\harness\probe.exe' 5)"
  check_eq "Wine makes the Unix folder the current folder" 'C:\harness\cwd' \
    "$(record_field start 'C:\harness\probe.exe' 6)"
  rm -rf "$DRIVE_C/harness"
  reset_log
  printf 'printed\r\n%s\n' "$QEMU_CRASH" >"$WORK/crash.out"
  local kept=$'printed\n'$QEMU_CRASH
  [ "$EMULATION" != 10 ] || kept=printed
  check_eq "what a run printed is read whole (under Wine 10, less qemu's crash reports)" \
    "$kept" "$(printed "$WORK/crash.out" 2>/dev/null)"
}
