#!/usr/bin/env bash
# The report build (test_programs/report_launcher.exe) under Wine: it ends
# only after everything it started has ended, a grandchild included; its
# exit code tells success from failure (0, data.exe's own 3010 and 1603, a
# negative ResultCode, no setup.log, a held claim); a failed removal, and a
# data.exe that cannot start, keep the maintenance folder and start
# nothing; the log and both setup.logs are there afterwards. Wine hands
# exit codes to Unix modulo 256, so each launcher runs under
# C:\tools\exit_code.exe, which prints the whole code.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/planted_manifest.sh"

wine_suite_start
harness_check
stage_tools

KIT='C:\Kit'
M=$(maintenance_folder_for "$DEFAULT_BITS")
LOGS_UNIX=$DRIVE_C/windows/logs/Software
LOG_UNIX="$LOGS_UNIX/InstallerLauncher-$PRODUCT.log"
RESULT='C:\windows\Logs\Software\InstallerLauncher-'"$PRODUCT"'-setup.log'
RESULT_UNIX="$LOGS_UNIX/InstallerLauncher-$PRODUCT-setup.log"
mkdir -p "$DRIVE_C/work"

# prepare_kit [DATA_EXIT [DATA_RESULT|none [DATA_SLEEP_MS]]]: a fresh kit
# with the report build as launcher.exe; data.exe ends with DATA_EXIT
# (default 0) and writes a setup.log with DATA_RESULT (default 0).
prepare_kit() {
  rm -rf "$(unix_of "$KIT")"
  mkdir -p "$(unix_of "$KIT")"
  cp "$BUILD/test_programs/report_launcher.exe" "$(unix_of "$KIT\\launcher.exe")"
  put_stand_in "$KIT\\data.exe" "${3:-}"
  echo "${1:-0}" >"$(unix_of "$KIT\\data.exe").exitcode"
  if [ "${2:-0}" != none ]; then echo "${2:-0}" >"$(unix_of "$KIT\\data.exe").result"; fi
  put_file "$KIT\\setup.iss" "[install responses]"$'\r\n'
  put_file "$KIT\\uninstall.iss" "[uninstall responses]"$'\r\n'
}

# plant_previous [EXIT [RESULT|none]]: the old version, whose uninstaller
# ends with EXIT (default 0) and writes a setup.log with RESULT (default 0).
plant_previous() {
  rm -rf "$(unix_of "$M")"
  put_stand_in "$M\\setup.exe"
  put_file "$M\\layout.bin" "layout"
  echo "${1:-0}" >"$(unix_of "$M\\setup.exe").exitcode"
  if [ "${2:-0}" != none ]; then echo "${2:-0}" >"$(unix_of "$M\\setup.exe").result"; fi
}

# report_launch [ARGUMENT...]: runs the kit's launcher; CODE is its exit code,
# the line of digits exit_code.exe prints (all it printed when there is no
# such line). Wine 10 now and then reports, on the same stderr, a crash of
# one of the prefix's own processes as it shuts down; such lines are noted,
# and the launcher's own code still counts.
report_launch() {
  launch "$DRIVE_C/work" 'C:\tools\exit_code.exe' "$KIT\\launcher.exe" "$@"
  CODE=$(grep -ax '[0-9][0-9]*' <<<"$LAUNCH_OUTPUT" | tail -n 1)
  [ -n "$CODE" ] || CODE=$LAUNCH_OUTPUT
  [ "$CODE" = "$LAUNCH_OUTPUT" ] || note "printed beside the exit code: $(grep -avx '[0-9][0-9]*' <<<"$LAUNCH_OUTPUT")"
}

# ---- The whole tree, both steps, the log ----
section "removal and installation, data.exe starting a grandchild that runs 3000 ms"
rm -rf "$LOGS_UNIX"
prepare_kit
put_stand_in "$KIT\\grandchild.exe" 3000
echo "$KIT\\grandchild.exe" >"$(unix_of "$KIT\\data.exe").child"
plant_previous
reset_log
report_launch x
check_eq "exit code 0" 0 "$CODE"
check_started "setup.exe, data.exe, then its grandchild" \
  "$M\\setup.exe" "$KIT\\data.exe" "$KIT\\grandchild.exe"
check_eq "the launcher ends only after the grandchild (ends recorded when it returned)" \
  3 "$ENDS_AT_RETURN"
check_eq "data.exe's command line names its setup.log in the log folder" \
  "$KIT\\data.exe -s -f1\"$KIT\\setup.iss\" -f2\"$RESULT\"" \
  "$(record_field start "$KIT\\data.exe" 5)"
check "the maintenance folder is deleted" test ! -e "$(unix_of "$M")"
check "the log is there" test -f "$LOG_UNIX"
check "data.exe's setup.log is there" grep -q 'ResultCode=0' "$RESULT_UNIX"
check_eq "both setup.logs are copied into the log" 2 \
  "$(grep -c 'setup.log: ResultCode=0\]LOG\]!>' "$LOG_UNIX" 2>/dev/null)"
check_eq "every line of the log is a CMTrace line" "" \
  "$(cat "$LOG_UNIX" 2>&1 | tr -d '\r' | grep -Ev '^<!\[LOG\[.*\]LOG\]!><time="[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]{3}" date="[0-9]{2}-[0-9]{2}-[0-9]{4}" component="InstallerLauncher" context="" type="[123]" thread="[0-9]+" file="">$')"
note "the log of this run:"
tr -d '\r' <"$LOG_UNIX" | sed 's/^/     /'
lines=$(wc -l <"$LOG_UNIX")

# ---- The exit codes of data.exe's results ----
# row: data.exe's exit code, its setup.log's ResultCode, the launcher's code
for row in "3010 0 3010" "1603 0 1603" "0 -3 69004" "0 none 69005"; do
  read -r data_exit data_result expected <<<"$row"
  section "data.exe ends with $data_exit, its setup.log's ResultCode $data_result"
  prepare_kit "$data_exit" "$data_result"
  reset_log
  report_launch x
  check_eq "exit code $expected" "$expected" "$CODE"
  check_started "data.exe started" "$KIT\\data.exe"
done
check "the log is appended to, run after run" test "$(wc -l <"$LOG_UNIX")" -gt "$lines"

section "a manifest beside the launcher naming the DLLs builds load"
prepare_kit
plant_previous
plant_manifest "$KIT\\launcher.exe"
reset_log
report_launch x
check_eq "exit code 0" 0 "$CODE"
check_planted_ignored "$M"

# ---- A failed removal (each way to fail is a row of the host tests) ----
section "the uninstaller ends with 0 but writes no setup.log"
prepare_kit
plant_previous 0 none
reset_log
report_launch x
check_eq "exit code 69003" 69003 "$CODE"
check_started "only the uninstaller starts" "$M\\setup.exe"
check "the maintenance folder is kept, uninstaller and all" \
  test -f "$(unix_of "$M\\setup.exe")" -a -f "$(unix_of "$M\\layout.bin")"
check "the log says the maintenance folder was kept" \
  grep -q "is kept, and the new version is not installed" "$LOG_UNIX"
rm -rf "$(unix_of "$M")"

# ---- A data.exe that cannot start ----
section "data.exe a text file"
prepare_kit
put_file "$KIT\\data.exe" "[not a program]"$'\r\n'
plant_previous
reset_log
report_launch x
check_eq "exit code 69002" 69002 "$CODE"
check_started "nothing starts, the uninstaller neither"
check "the maintenance folder is kept, uninstaller and all" \
  test -f "$(unix_of "$M\\setup.exe")" -a -f "$(unix_of "$M\\layout.bin")"
check "the log says why" grep -q "is there, but Windows refused it" "$LOG_UNIX"
rm -rf "$(unix_of "$M")"

# ---- The launcher ended during the removal ----
# data.exe waits suspended for the removal to end; its job ends it with the
# launcher, which would otherwise leave it suspended, holding its file, for
# good (the prefix would never fall idle).
section "the launcher ended while the uninstaller runs: no suspended data.exe is left"
prepare_kit
plant_previous
echo 4000 >"$(unix_of "$M\\setup.exe").sleep"
reset_log
start_in "$DRIVE_C/work" "$KIT\\launcher.exe" x
for _ in $(seq 300); do
  [ -n "$(record_line start "$M\\setup.exe")" ] && break
  sleep 0.1
done
run_in "$DRIVE_C" taskkill /F /IM launcher.exe
note "taskkill: status $RUN_STATUS"
background_status
check "every process of the prefix ends within 60 s" timeout 60 "$WINESERVER" -w
"$WINESERVER" -k
check_eq "data.exe never ran" "" "$(record_line start "$KIT\\data.exe")"
rm -rf "$(unix_of "$M")"

# ---- A held claim ----
# data.exe runs long enough for a second emulated start on a busy machine.
section "a second launcher while the first one's data.exe runs (8000 ms)"
prepare_kit 0 0 8000
reset_log
start_in "$DRIVE_C/work" 'C:\tools\exit_code.exe' "$KIT\\launcher.exe" x
for _ in $(seq 300); do
  [ -n "$(record_line start "$KIT\\data.exe")" ] && break
  sleep 0.1
done
report_launch x
check_eq "the second launcher's exit code is 1618" 1618 "$CODE"
check_eq "it ends before data.exe does" 0 "$ENDS_AT_RETURN"
background_status
check_eq "the first launcher's exit code is 0" 0 "$BACKGROUND_OUTPUT"
check_started "data.exe, once" "$KIT\\data.exe"

# ---- Another installation in progress ----
# The build waits 60 s for Windows Installer's mutex to go. Held for 4 s,
# the run goes on once it has; held for 75 s, nothing is done.
for hold in 4000 75000; do
  section "another installation holds Global\\_MSIExecute for $hold ms"
  prepare_kit
  plant_previous
  reset_log
  rm -f "$LOG_UNIX"
  start_in "$DRIVE_C" 'C:\tools\hold_mutex.exe' "$hold" 'C:\mutex.held'
  for _ in $(seq 300); do
    [ -e "$DRIVE_C/mutex.held" ] && break
    sleep 0.1
  done
  report_launch x
  background_status
  if [ "$hold" -eq 4000 ]; then
    check_eq "exit code 0" 0 "$CODE"
    check_started "setup.exe, then data.exe" "$M\\setup.exe" "$KIT\\data.exe"
    check "the log says it waited" grep -q "The other installation ended after" "$LOG_UNIX"
  else
    check_eq "exit code 1618, only after the 60 s wait ($LAUNCH_MS ms)" "1618 true" \
      "$CODE $([ "$LAUNCH_MS" -ge 60000 ] && echo true)"
    check_started "nothing starts"
    check "the log says why" grep -q "still runs after 60 s: nothing is removed" "$LOG_UNIX"
  fi
  rm -rf "$(unix_of "$M")"
done

finish
