#!/usr/bin/env bash
# Whole launcher runs under Wine with a previous installation present: the
# response file staged into the maintenance folder, the uninstaller's exact
# command line, the wait for it before the new installer starts, the
# maintenance folder's deletion, the cases where something is missing or in
# the way, a data.exe that cannot start (which keeps the old version), a
# second launcher started while the first one runs, a pinned kit
# (as built, changed, attacked while it is held) and a kit whose data.exe is
# the launcher itself.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/planted_manifest.sh"

wine_suite_start
harness_check
stage_tools

KIT='C:\Kit'
SYSTEM_FOLDER='C:\windows\system32'
L_RESPONSE="[kit uninstall responses] $RANDOM$RANDOM"$'\r\n'
mkdir -p "$DRIVE_C/work"

# The kit pinned_launcher.exe was built for: the stand-in as data.exe and
# the response files of tests/wine/kit.
TEST_KIT=$BUILD/test_programs/kit

# prepare_kit [no-data] [no-response] | pinned: a fresh launcher folder; a
# pinned one is pinned_launcher.exe with a copy of the build's test kit.
prepare_kit() {
  rm -rf "$(unix_of "$KIT")"
  mkdir -p "$(unix_of "$KIT")"
  if [ "${1:-}" = pinned ]; then
    cp "$BUILD/test_programs/pinned_launcher.exe" "$(unix_of "$KIT\\launcher.exe")"
    cp "$TEST_KIT"/{data.exe,setup.iss,uninstall.iss} "$(unix_of "$KIT")"
    return
  fi
  cp "$BUILD/launcher.exe" "$(unix_of "$KIT\\launcher.exe")"
  [[ " $* " == *" no-data "* ]] || put_stand_in "$KIT\\data.exe"
  put_file "$KIT\\setup.iss" "[kit install responses]"$'\r\n'
  [[ " $* " == *" no-response "* ]] || put_file "$KIT\\uninstall.iss" "$L_RESPONSE"
}

# plant_previous M [setup|no-setup [SLEEP_MS]]: a maintenance folder with the
# uninstaller, files and a subfolder, and a sibling folder of another product.
plant_previous() {
  local M=$1
  rm -rf "$(unix_of "$M")"
  mkdir -p "$(unix_of "$M")"
  if [ "${2:-}" != no-setup ]; then put_stand_in "$M\\setup.exe" "${3:-}"; fi
  put_file "$M\\layout.bin" "layout"
  put_file "$M\\_setup.dll" "library"
  put_file "$M\\noext" "no extension"
  put_file "$M\\Disk1\\data1.hdr" "header"
  put_file "$M\\Disk1\\sub\\deep" "deep"
  put_file "$(other_product "$M")" "another product"
}

# A file of another product's maintenance folder beside M.
other_product() { printf '%s\\{00000000-1111-2222-3333-444444444444}\\other.txt' "${1%\\*}"; }
uninstall_line() { printf '%s\\setup.exe -s -uninst -f1"%s\\uninstall.iss"' "$1" "$1"; }
silent_line() { printf '%s\\data.exe -s -f1"%s\\setup.iss"' "$1" "$1"; }

# Checks shared by the runs where the uninstaller exists and by those where
# the maintenance folder can go completely.
check_uninstaller_run() {
  local M=$1
  check_eq "setup.exe's command line" "$(uninstall_line "$M")" \
    "$(record_field start "$M\\setup.exe" 5)"
  check_eq "setup.exe starts in the system folder" "$SYSTEM_FOLDER" \
    "$(record_field start "$M\\setup.exe" 6)"
}
check_removed() {
  local M=$1
  check "the maintenance folder is deleted" test ! -e "$(unix_of "$M")"
  check_eq "its parent and the other product's folder beside it are kept" \
    "another product" \
    "$(cat "$(unix_of "$(other_product "$M")")" 2>/dev/null)"
}
check_kit_response_unchanged() {
  check_eq "the launcher folder's uninstall.iss is unchanged" \
    "$(hex_text "$L_RESPONSE")" "$(hex_of "$(unix_of "$KIT\\uninstall.iss")")"
}

# ---- The typical run, both widths ----
# The uninstaller takes a while (6 s in one run), so a wait with a short
# time limit would show.
for bits in $WIDTHS; do
  if [ "$bits" -eq 64 ]; then sleep_ms=6000; else sleep_ms=2000; fi
  section "typical removal, ${bits}-bit Windows, one argument, setup.exe taking ${sleep_ms} ms"
  set_width "$bits"
  M=$(maintenance_folder_for "$bits")
  prepare_kit
  plant_previous "$M" setup "$sleep_ms"
  reset_log
  launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
  check_launch_status
  check_started "setup.exe from $M, then data.exe" "$M\\setup.exe" "$KIT\\data.exe"
  check_uninstaller_run "$M"
  check_eq "setup.exe finds the uninstall.iss staged from the launcher folder" \
    "$(hex_text "$L_RESPONSE")" \
    "$(record_field start "$M\\setup.exe" 7)"
  setup_start=$(record_field start "$M\\setup.exe" 2)
  setup_end=$(record_field end "$M\\setup.exe" 2)
  check "setup.exe ran its ${sleep_ms} ms (it did not lose its sleep setting with the folder)" \
    test $(( ${setup_end:-0} - ${setup_start:-0} )) -ge $(( (sleep_ms - 50) * 10000 ))
  setup_end_line=$(record_line end "$M\\setup.exe")
  data_start_line=$(record_line start "$KIT\\data.exe")
  check "data.exe starts only after setup.exe has ended (log lines ${setup_end_line:-none} < ${data_start_line:-none})" \
    test -n "$setup_end_line" -a -n "$data_start_line" -a "${setup_end_line:-0}" -lt "${data_start_line:-0}"
  data_start=$(record_field start "$KIT\\data.exe" 2)
  note "setup.exe started at +0 ms, data.exe at +$(( (${data_start:-0} - ${setup_start:-0}) / 10000 )) ms"
  check "data.exe starts at least the uninstaller's ${sleep_ms} ms after it" \
    test $(( ${data_start:-0} - ${setup_start:-0} )) -ge $(( (sleep_ms - 50) * 10000 ))
  check_eq "data.exe's silent command line" "$(silent_line "$KIT")" \
    "$(record_field start "$KIT\\data.exe" 5)"
  check_removed "$M"
  check_kit_response_unchanged
done
set_width "$DEFAULT_BITS"
M=$(maintenance_folder_for "$DEFAULT_BITS")

# ---- A second launcher while the first waits for the uninstaller ----
# The second one starts once the first one's uninstaller has recorded its
# start, so the first one surely holds its claim by then. The uninstaller
# runs long enough for a second emulated start on a busy machine.
section "a second launcher started while the first one's setup.exe runs (8000 ms)"
prepare_kit
plant_previous "$M" setup 8000
reset_log
start_in "$DRIVE_C/work" "$KIT\\launcher.exe" x
for _ in $(seq 300); do
  [ -n "$(record_line start "$M\\setup.exe")" ] && break
  sleep 0.1
done
check_eq "the first launcher's setup.exe runs when the second one starts" \
  "1 start, 0 ends" \
  "$(started_modules | wc -l) start, $(ends_recorded) ends"
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
note "the second launcher took $LAUNCH_MS ms"
check_launch_status
check_eq "the second launcher ends before setup.exe does" 0 "$ENDS_AT_RETURN"
background_status
check_eq "the first launcher's exit code is 0" 0 "$BACKGROUND_STATUS"
check_eq "the first launcher writes nothing" "" "$BACKGROUND_OUTPUT"
check_started "setup.exe, then data.exe, each once" "$M\\setup.exe" "$KIT\\data.exe"
check_removed "$M"

# ---- A response file already in the maintenance folder ----
section "a response file already in the maintenance folder"
prepare_kit
plant_previous "$M"
EXISTING="[response left by the previous version]"$'\r\n'
put_file "$M\\uninstall.iss" "$EXISTING"
reset_log
launch "$DRIVE_C/work" "$KIT\\launcher.exe"
check_launch_status
check_started "setup.exe, then data.exe" "$M\\setup.exe" "$KIT\\data.exe"
check_eq "setup.exe finds the response file that was there, unchanged" \
  "$(hex_text "$EXISTING")" \
  "$(record_field start "$M\\setup.exe" 7)"
check_eq "data.exe's interactive command line" data.exe \
  "$(record_field start "$KIT\\data.exe" 5)"
check_removed "$M"
check_kit_response_unchanged

# ---- No response file anywhere ----
section "no uninstall.iss in the launcher folder nor in the maintenance folder"
prepare_kit no-response
plant_previous "$M"
reset_log
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
check_launch_status
check_started "setup.exe still runs, then data.exe" "$M\\setup.exe" "$KIT\\data.exe"
check_uninstaller_run "$M"
check_eq "setup.exe finds no response file" - "$(record_field start "$M\\setup.exe" 7)"
check_removed "$M"

# ---- The uninstaller missing ----
section "setup.exe missing from the maintenance folder, C:\\Program.exe planted"
prepare_kit
plant_previous "$M" no-setup
put_stand_in 'C:\Program.exe'
reset_log
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
check_launch_status
check_started "only data.exe starts; no program named by a part of the path runs" \
  "$KIT\\data.exe"
check_removed "$M"
rm -f "$(unix_of 'C:\Program.exe')"

# ---- A read-only file in the maintenance folder ----
section "a read-only file in the maintenance folder"
prepare_kit
plant_previous "$M"
put_file "$M\\locked.dat" "locked content"
make_read_only "$M\\locked.dat"
reset_log
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
check_launch_status
check_started "setup.exe, then data.exe still" "$M\\setup.exe" "$KIT\\data.exe"
check_eq "the maintenance folder stays, holding only the read-only file" \
  "f locked.dat" "$(tree_of "$(unix_of "$M")" 2>/dev/null)"
check_eq "the read-only file keeps its content" "locked content" \
  "$(cat "$(unix_of "$M\\locked.dat")" 2>/dev/null)"
rm -rf "$(unix_of "$M")"

# ---- Names the code page cannot carry exactly ----
# In code page 1252 the ANSI calls render full-width "．" and "＼" as "." and
# "\\", and "中" as "?". Three levels up from the maintenance folder is C:\.
# An entry goes only through an exact short name; what stays is set from the
# short names the system shows.
section "names in the maintenance folder that best fit would turn into ..\\ or ?"
UP='．．＼'
prepare_kit
plant_previous "$M"
m=$(unix_of "$M")
mkdir -p "$m/$UP$UP${UP}Victim/sub"
printf 'inside' >"$m/$UP$UP${UP}Victim/sub/inner.txt"
printf 'inside' >"$m/$UP$UP${UP}escape.txt"
printf 'inside' >"$m/中文.txt"
printf 'inside' >"$m/café.txt"
put_file 'C:\Victim\data.txt' "outside"
put_file 'C:\escape.txt' "outside"
run_in "$DRIVE_C" 'C:\tools\fs_probe.exe' names "$M"
names=$(grep -av '^\.' <<<"$RUN_OUTPUT")
note "in M (long, short, ANSI rendering, exact?, short path):" "$names"
check_eq "the ANSI rendering of the full-width names climbs out of M" \
  "..\\..\\..\\Victim|..\\..\\..\\escape.txt" \
  "$(awk -F'\t' '$4 == "inexact" && $3 ~ /^\.\./ { print $3 }' <<<"$names" | LC_ALL=C sort | paste -sd'|')"
check_eq "café.txt is carried exactly" exact \
  "$(awk -F'\t' '$1 == "café.txt" { print $4 }' <<<"$names")"
# Entries with neither an exact name nor a short name stay, and with them M.
expected_left=$(awk -F'\t' '$4 == "inexact" && $2 == "" { print $1 }' <<<"$names" |
  while read -r name; do (cd "$m" && find "$name" -printf '%y %p\n'); done | LC_ALL=C sort)
note "entries without a short name: ${expected_left:-none}"
reset_log
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
check_launch_status
check_started "setup.exe, then data.exe" "$M\\setup.exe" "$KIT\\data.exe"
check_eq "C:\\Victim is intact" "outside" "$(cat "$(unix_of 'C:\Victim\data.txt')" 2>/dev/null)"
check_eq "C:\\escape.txt is intact" "outside" "$(cat "$(unix_of 'C:\escape.txt')" 2>/dev/null)"
if [ -z "$expected_left" ]; then
  check_removed "$M"
else
  check_eq "only the entries without an exact name stay" "$expected_left" \
    "$(tree_of "$m" 2>/dev/null)"
fi
rm -rf "$m" "$(unix_of 'C:\Victim')" "$(unix_of 'C:\escape.txt')"

# ---- A kit on read-only media ----
section "uninstall.iss read-only in the launcher folder (a kit on CD or a read-only share)"
prepare_kit
make_read_only "$KIT\\uninstall.iss"
plant_previous "$M"
reset_log
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
check_launch_status
check_started "setup.exe, then data.exe" "$M\\setup.exe" "$KIT\\data.exe"
check_eq "setup.exe finds the staged response file" "$(hex_text "$L_RESPONSE")" \
  "$(record_field start "$M\\setup.exe" 7)"
check_removed "$M"
run_in "$DRIVE_C" 'C:\tools\fs_probe.exe' attributes "$KIT\\uninstall.iss"
check "the launcher folder's uninstall.iss is still read-only" \
  test $(( ${RUN_OUTPUT:-0} & 0x01 )) -eq 1

# ---- data.exe missing ----
section "data.exe missing beside the launcher"
prepare_kit no-data
plant_previous "$M"
reset_log
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
check_launch_status
check_started "setup.exe runs, nothing after it" "$M\\setup.exe"
check_uninstaller_run "$M"
check_removed "$M"

# ---- data.exe that Windows will not start ----
# Started suspended before the removal, it fails there: the old version
# stays, its uninstaller unstarted.
section "data.exe a text file beside the launcher"
prepare_kit no-data
put_file "$KIT\\data.exe" "[not a program]"$'\r\n'
plant_previous "$M"
planted=$(tree_of "$(unix_of "$M")")
reset_log
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
check_launch_status
check_started "nothing starts, the uninstaller neither"
check_eq "the maintenance folder stays as planted" "$planted" \
  "$(tree_of "$(unix_of "$M")" 2>/dev/null)"

# ---- DLLs planted beside the launcher and in its current folder ----
# Names a program may load by static import, through another DLL, or at
# run time; Wine's default settings, as on Windows for names outside its
# known DLLs, take shcore.dll from the program's folder. Each copy of the
# marker DLL adds a line to MARKER_DIR\<its name> in each process that loads
# it, naming that process's program. The uninstaller loads planted.dll (only
# in those two folders) and owned.dll (only in its own folder) by bare name.
section "DLLs planted in the launcher folder and the current folder"
PLANTED="shcore.dll version.dll userenv.dll cryptbase.dll uxtheme.dll dwmapi.dll
shlwapi.dll profapi.dll libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll planted.dll"
prepare_kit
plant_previous "$M"
for folder in "$KIT" 'C:\work'; do
  for name in $PLANTED; do cp "$BUILD/test_programs/marker.dll" "$(unix_of "$folder\\$name")"; done
done
cp "$BUILD/test_programs/marker.dll" "$(unix_of "$M\\owned.dll")"
put_file "$M\\setup.exe.load" $'planted.dll\r\nowned.dll'
mkdir -p "$DRIVE_C/markers"
reset_log
export MARKER_DIR='C:\markers'
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
unset MARKER_DIR
check_launch_status
check_started "setup.exe, then data.exe" "$M\\setup.exe" "$KIT\\data.exe"
check_uninstaller_run "$M"
check_eq "setup.exe finds none by bare name, but one in its own folder" \
  "planted.dll=126 owned.dll=ok" "$(record_field load "$M\\setup.exe" 5)"
check_eq "no planted DLL is loaded into any process" "owned.dll in $M\\setup.exe" "$(planted_loads)"
check_removed "$M"
rm -rf "$DRIVE_C/markers" "$DRIVE_C/work"/*.dll

# The default build loads no DLL a manifest could redirect; the pinned one
# loads several, and its own manifest makes it ignore the planted one.
for build in default pinned; do
  section "a manifest beside the $build launcher naming the DLLs builds load"
  prepare_kit "$build"
  plant_previous "$M"
  plant_manifest "$KIT\\launcher.exe"
  reset_log
  launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
  check_launch_status
  check_planted_ignored "$M"
  check_removed "$M"
done

# ---- A pinned kit ----
# Wine runs every process as an administrator, so a pinned launcher copies
# its kit into a fresh cache under the Windows folder and starts data.exe
# there, not in the kit folder. data.exe loads a DLL planted in the kit
# folder by its bare name, and reads its response file only once the
# launcher has ended and the kit's setup.iss has been rewritten.
CONTROL='C:\control'
export STANDIN_CONTROL=$CONTROL
# The caches' parent: the Windows folder's SystemTemp where the prefix has
# one (its owner and DACL pass every check under Wine), else the launcher's
# own folder beside it.
CACHES='C:\windows\InstallerLauncherKits'
[ -d "$DRIVE_C/windows/SystemTemp" ] && CACHES='C:\windows\SystemTemp'
CACHE_PATTERN="${CACHES//\\/\\\\}\\\\InstallerLauncherKit-[0-9a-f]{16}"
# The cache data.exe started from, when it started from one.
started_cache() { started_modules | sed -n 's/\\data\.exe$//p' | grep -Ex "$CACHE_PATTERN"; }

section "a pinned kit as it was built: data.exe runs from a fresh cache"
prepare_kit pinned
plant_previous "$M"
cp "$BUILD/test_programs/marker.dll" "$(unix_of "$KIT\\kitplant.dll")"
mkdir -p "$(unix_of "$CONTROL")"
echo kitplant.dll >"$(unix_of "$CONTROL\\data.exe.load")"
echo 5000 >"$(unix_of "$CONTROL\\data.exe.sleep")"
reset_log
run_in "$DRIVE_C/work" "$KIT\\launcher.exe" x
for _ in $(seq 100); do cache=$(started_cache) && break; sleep 0.2; done
check "data.exe is the pinned one, in its cache, when the launcher ends" \
  cmp -s "$TEST_KIT/data.exe" "$(unix_of "${cache:-none}\\data.exe")"
printf '[rewritten]\r\n' >"$(unix_of "$KIT\\setup.iss")"
answered_early=$(record_line answers "$cache\\data.exe")
wait_prefix
check_launch_status "$RUN_STATUS" "$RUN_OUTPUT"
check_started "setup.exe, then data.exe from a cache in $CACHES" \
  "$M\\setup.exe" "${cache:-$CACHES\\InstallerLauncherKit-*}\\data.exe"
check_uninstaller_run "$M"
check_eq "setup.exe finds the kit's uninstall.iss staged" \
  "$(hex_of "$TEST_KIT/uninstall.iss")" "$(record_field start "$M\\setup.exe" 7)"
# The launcher spells the caches' parent as it composed it.
check_eq "data.exe's silent command line names the cache" "$(silent_line "${cache,,}")" \
  "$(record_field start "$cache\\data.exe" 5 | tr '[:upper:]' '[:lower:]')"
check_eq "data.exe starts in the cache" "${cache,,}" \
  "$(record_field start "$cache\\data.exe" 6 | tr '[:upper:]' '[:lower:]')"
check_eq "data.exe cannot load kitplant.dll of the kit folder by its bare name" \
  "kitplant.dll=126" "$(record_field load "$cache\\data.exe" 5)"
check_eq "the kit's setup.iss was rewritten before data.exe read its own" "" "$answered_early"
check_eq "data.exe reads the pinned setup.iss" \
  "$(hex_of "$TEST_KIT/setup.iss")" "$(record_field answers "$cache\\data.exe" 5)"
check_removed "$M"
"$WINE_LOADER" wineboot -r >/dev/null 2>&1
wait_prefix
check "the cache is gone once the prefix has restarted" \
  test -n "$cache" -a ! -e "$(unix_of "${cache:-C:\\none}")"
rm -rf "$(unix_of "$CONTROL")"

# The cache's name draws on ProcessPrng, else BCryptGenRandom, else
# RtlGenRandom: with the first two DLLs disabled the last one serves.
section "a pinned kit without bcryptprimitives.dll and bcrypt.dll: a cache all the same"
prepare_kit pinned
plant_previous "$M"
reset_log
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;bcryptprimitives=;bcrypt=" \
  run_in "$DRIVE_C/work" "$KIT\\launcher.exe" x
wait_prefix
cache=$(started_cache)
check_launch_status "$RUN_STATUS" "$RUN_OUTPUT"
check_started "setup.exe, then data.exe from a fresh cache" \
  "$M\\setup.exe" "${cache:-$CACHES\\InstallerLauncherKit-*}\\data.exe"
check_removed "$M"

section "a pinned kit whose data.exe another process keeps open for writing"
prepare_kit pinned
plant_previous "$M"
put_stand_in 'C:\holder\holder.exe'
echo "$KIT\\data.exe" >"$(unix_of 'C:\holder\holder.exe').hold"
echo 4000 >"$(unix_of 'C:\holder\holder.exe').sleep"
reset_log
start_in "$DRIVE_C/work" 'C:\holder\holder.exe'
for _ in $(seq 100); do [ -n "$(record_line start 'C:\holder\holder.exe')" ] && break; sleep 0.2; done
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
background_status
check_launch_status
check "data.exe still runs, from its cache" test -n "$(started_cache)"
check_removed "$M"
rm -rf "$DRIVE_C/holder"

# Each a kit file that differs from the pinned one.
for change in "data.exe is one byte longer" "uninstall.iss is one byte longer" \
              "setup.iss is missing"; do
  section "a pinned kit whose $change"
  prepare_kit pinned
  file=$(unix_of "$KIT\\${change%% *}")
  if [[ $change == *missing ]]; then rm "$file"; else printf x >>"$file"; fi
  plant_previous "$M"
  planted=$(tree_of "$(unix_of "$M")")
  reset_log
  launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
  check_launch_status
  check_started "nothing starts"
  check_eq "the maintenance folder stays as planted" "$planted" \
    "$(tree_of "$(unix_of "$M")" 2>/dev/null)"
done

# A sparse file takes no disk space but would take minutes to hash: its
# size refuses it unread.
section "a pinned kit whose data.exe is a sparse 8 GiB file"
prepare_kit pinned
truncate -s 8G "$(unix_of "$KIT\\data.exe")"
plant_previous "$M"
planted=$(tree_of "$(unix_of "$M")")
reset_log
begin=$(date +%s%N)
start_in "$DRIVE_C/work" "$KIT\\launcher.exe" x
check "the launcher refuses it within 20 s" background_ends_within 20
note "it took $(( ($(date +%s%N) - begin) / 1000000 )) ms"
"$WINESERVER" -k
background_status
check_launch_status "$BACKGROUND_STATUS" "$BACKGROUND_OUTPUT"
check_started "nothing starts"
check_eq "the maintenance folder stays as planted" "$planted" \
  "$(tree_of "$(unix_of "$M")" 2>/dev/null)"
rm -f "$(unix_of "$KIT\\data.exe")"

# ---- Caches and the restart ----
# A restart deletion goes by name: a cache named in the pending-restart
# list must still be there, or a link could take its place. Wine carries
# the deletions out at every new wineserver start, so one server serves
# both runs and the reading of the list.
pending_caches() {
  "$WINE_LOADER" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' |
    grep -Eio "$CACHE_PATTERN" | sort -fu
}
# Names in the caches' parent as Windows matches them: without case.
caches_left() { find "$(unix_of "$CACHES")" -maxdepth 1 -iname "${1:-InstallerLauncherKit-*}"; }
# started_cache_within: the cache data.exe started from, waited for.
started_cache_within() {
  local found
  for _ in $(seq 100); do found=$(started_cache) && break; sleep 0.2; done
  echo "$found"
}

section "two elevated pinned runs before a restart, the user's TMP under the Windows folder"
prepare_kit pinned
mkdir -p "$(unix_of 'C:\windows\temp\mine')"
"$WINESERVER" -p
"$WINE_LOADER" reg add 'HKCU\Environment' /v TMP /d 'C:\windows\temp\mine' /f >/dev/null 2>&1
reset_log
TMP='C:\windows\temp\mine' run_in "$DRIVE_C/work" "$KIT\\launcher.exe" x
first=$(started_cache_within)
check "the first run starts data.exe from a cache in $CACHES, not in TMP" test -n "$first"
reset_log
TMP='C:\windows\temp\mine' run_in "$DRIVE_C/work" "$KIT\\launcher.exe" x
second=$(started_cache_within)
check "the second run starts data.exe from a fresh cache" \
  test -n "$second" -a "${second,,}" != "${first,,}"
sleep 1  # data.exe ends
named=$(pending_caches)
check "both caches are named in the pending-restart list" test "$(echo "$named" | grep -c .)" -ge 2
for cache in $named; do
  check "$cache, named for deletion at restart, is still there" \
    test -n "$(caches_left "${cache##*\\}")"
done
check_eq "nothing went into TMP" "" "$(ls -A "$(unix_of 'C:\windows\temp\mine')")"
"$WINE_LOADER" reg delete 'HKCU\Environment' /v TMP /f >/dev/null 2>&1
"$WINESERVER" -k
"$WINE_LOADER" wineboot -r >/dev/null 2>&1
wait_prefix
check_eq "no cache is left once the prefix has restarted" "" "$(caches_left)"

# ---- data.exe the launcher itself ----
# Started, it would start itself again and again: the prefix would never
# fall idle.
section "data.exe a copy of launcher.exe (an unpinned kit)"
prepare_kit no-data
cp "$BUILD/launcher.exe" "$(unix_of "$KIT\\data.exe")"
plant_previous "$M"
planted=$(tree_of "$(unix_of "$M")")
reset_log
start_in "$DRIVE_C/work" "$KIT\\launcher.exe" x
# The server may not run yet when the launcher has only just started, and
# "wineserver -w" would then return at once: the launcher's end comes first.
check "the launcher ends within 60 s" background_ends_within 60
check "every process of the prefix ends within 60 s" timeout 60 "$WINESERVER" -w
"$WINESERVER" -k  # an endless chain would otherwise hold the rest of the suite
background_status
check_launch_status "$BACKGROUND_STATUS" "$BACKGROUND_OUTPUT"
check_started "nothing starts"
check_eq "the maintenance folder stays as planted" "$planted" \
  "$(tree_of "$(unix_of "$M")" 2>/dev/null)"

finish
