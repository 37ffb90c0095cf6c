#!/usr/bin/env bash
# The launcher's main path under Wine: which Windows width it detects, the
# command line the new installer gets for each number of arguments, its exit
# code, that it does not wait for the new installer, and that it starts
# programs by full path only (a launcher folder with a blank beside a planted
# C:\My.exe; a missing data.exe with one in the current folder).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

wine_suite_start
harness_check

# A launcher folder: the launcher, the new installer (unless $2 is "none")
# and both response files.
put_kit() {
  local folder=$1
  mkdir -p "$(unix_of "$folder")"
  cp "$BUILD/launcher.exe" "$(unix_of "$folder\\launcher.exe")"
  if [ "${2:-}" != none ]; then put_stand_in "$folder\\data.exe"; fi
  put_file "$folder\\setup.iss" "[silent install responses]"$'\r\n'
  put_file "$folder\\uninstall.iss" "[silent uninstall responses]"$'\r\n'
}
silent_line() { printf '%s\\data.exe -s -f1"%s\\setup.iss"' "$1" "$1"; }

mkdir -p "$DRIVE_C/work"
WORK_FOLDER='C:\work'
KIT='C:\Kit'
put_kit "$KIT"

# ---- Width ----
for bits in $WIDTHS; do
  section "width: ${bits}-bit Windows, a previous installation in both Program Files folders"
  set_width "$bits"
  if [ "$bits" -eq 64 ]; then used=$M64 other=$M32; else used=$M32 other=$M64; fi
  for M in "$M64" "$M32"; do
    rm -rf "$(unix_of "$M")"
    put_stand_in "$M\\setup.exe"
    put_file "$M\\marker.txt" "previous version"
  done
  reset_log
  launch "$DRIVE_C/work" "$KIT\\launcher.exe"
  check_launch_status
  check_started "the uninstaller in $used runs, then the new installer" \
    "$used\\setup.exe" "$KIT\\data.exe"
  check "the maintenance folder $used is deleted" test ! -e "$(unix_of "$used")"
  check_eq "the other maintenance folder is untouched" \
    "f marker.txt"$'\n'"f setup.exe" "$(tree_of "$(unix_of "$other")")"
done
set_width "$DEFAULT_BITS"
rm -rf "$(unix_of "$M64")" "$(unix_of "$M32")"

# ---- Arguments ----
# argument_case WHAT silent|interactive [ARGUMENT...]
argument_case() {
  local what=$1 mode=$2
  shift 2
  section "arguments: $what"
  # The launcher gets the command line Wine composes from these arguments;
  # a stand-in started the same way shows it.
  reset_log
  put_stand_in "$KIT\\args.exe"
  run_in "$DRIVE_C/work" "$KIT\\args.exe" "$@"
  note "the launcher's command line: $(record_field start "$KIT\\args.exe" 5 |
                                       sed 's/args\.exe/launcher.exe/')"
  rm -f "$(unix_of "$KIT\\args.exe")"

  local expected=data.exe
  [ "$mode" = silent ] && expected=$(silent_line "$KIT")
  reset_log
  launch "$DRIVE_C/work" "$KIT\\launcher.exe" "$@"
  check_launch_status
  check_started "only data.exe is started, from the launcher folder" "$KIT\\data.exe"
  check_eq "data.exe's command line ($mode)" "$expected" \
    "$(record_field start "$KIT\\data.exe" 5)"
  check_eq "data.exe runs in the launcher's current folder" "$WORK_FOLDER" \
    "$(record_field start "$KIT\\data.exe" 6)"
}
argument_case "none" interactive
argument_case "one" silent x
argument_case 'one, an empty quoted argument ""' silent ''
argument_case "one, holding a blank" silent 'two words'
argument_case "two" interactive a b
argument_case "two, the second empty" interactive a ''

# ---- No waiting ----
section "the launcher does not wait for data.exe"
put_stand_in "$KIT\\data.exe" 5000
reset_log
launch "$DRIVE_C/work" "$KIT\\launcher.exe" x
note "the launcher returned after ${LAUNCH_MS} ms; data.exe sleeps 5000 ms"
check_launch_status
check_eq "data.exe had not ended when the launcher returned" 0 "$ENDS_AT_RETURN"
check_started "data.exe was started" "$KIT\\data.exe"
start_time=$(record_field start "$KIT\\data.exe" 2)
end_time=$(record_field end "$KIT\\data.exe" 2)
check "data.exe slept its 5 s before ending (start $start_time, end ${end_time:-none})" \
  test -n "$end_time" -a $(( ${end_time:-0} - ${start_time:-0} )) -ge 49000000
put_stand_in "$KIT\\data.exe"

# ---- A launcher folder with a blank ----
section "launcher in C:\\My Setup beside a planted C:\\My.exe"
put_kit 'C:\My Setup'
put_stand_in 'C:\My.exe'
for arguments in none one; do
  reset_log
  if [ "$arguments" = none ]; then
    launch "$DRIVE_C/work" 'C:\My Setup\launcher.exe'
    expected=data.exe
  else
    launch "$DRIVE_C/work" 'C:\My Setup\launcher.exe' x
    expected=$(silent_line 'C:\My Setup')
  fi
  check_launch_status
  check_started "$arguments argument(s): C:\\My Setup\\data.exe starts, C:\\My.exe does not" \
    'C:\My Setup\data.exe'
  check_eq "$arguments argument(s): data.exe's command line, its head unquoted" \
    "$expected" "$(record_field start 'C:\My Setup\data.exe' 5)"
done
rm -rf "$(unix_of 'C:\My Setup')" "$(unix_of 'C:\My.exe')"

# ---- A launcher folder the code page cannot carry exactly ----
# In code page 1252 the ANSI calls read C:\Ｋｉｔ as C:\Kit and C:\Setup中 as
# C:\Setup?. The launcher then works through its folder's exact short path,
# or, without one, does nothing at all; which of the two applies is set from
# the short names the system shows. C:\Kit, with its own data.exe and
# uninstall.iss, stands for a folder anyone may plant at the drive's root.
M=$(maintenance_folder_for "$DEFAULT_BITS")
for folder in 'C:\Ｋｉｔ' 'C:\Setup中'; do
  section "launcher in $folder, a previous installation, C:\\Kit planted"
  put_kit "$folder"
  put_file "$folder\\uninstall.iss" "[the kit's own uninstall responses]"
  rm -rf "$(unix_of "$M")"
  put_stand_in "$M\\setup.exe"
  run_in "$DRIVE_C" 'C:\tools\fs_probe.exe' names 'C:\'
  short=$(NAME=${folder#C:\\} awk -F'\t' '$1 == ENVIRON["NAME"] { print $2 }' <<<"$RUN_OUTPUT")
  note "short name of $folder: ${short:-none}"
  reset_log
  launch "$DRIVE_C/work" "$folder\\launcher.exe" x
  check_launch_status
  if [ -n "$short" ]; then
    L="C:\\$short"
    check_started "the uninstaller, then the kit's own data.exe" \
      "$M\\setup.exe" "$folder\\data.exe"
    check_eq "data.exe's command line names the kit by its short path" \
      "$(silent_line "$L")" "$(record_field start "$folder\\data.exe" 5)"
    check_eq "setup.exe finds the kit's own uninstall.iss" \
      "$(hex_text "[the kit's own uninstall responses]")" \
      "$(record_field start "$M\\setup.exe" 7)"
    check "the maintenance folder is deleted" test ! -e "$(unix_of "$M")"
  else
    check_started "nothing starts"
    check "the maintenance folder stays" test -e "$(unix_of "$M\\setup.exe")"
  fi
done
rm -rf "$(unix_of 'C:\Ｋｉｔ')" "$(unix_of 'C:\Setup中')" "$(unix_of "$M")"

# ---- data.exe missing ----
section "data.exe missing beside the launcher, one in the current folder and one in C:\\windows"
put_kit 'C:\Bare' none
mkdir -p "$DRIVE_C/elsewhere"
put_stand_in 'C:\elsewhere\data.exe'
put_stand_in 'C:\windows\data.exe'
for arguments in none one; do
  reset_log
  if [ "$arguments" = none ]; then
    launch "$DRIVE_C/elsewhere" 'C:\Bare\launcher.exe'
  else
    launch "$DRIVE_C/elsewhere" 'C:\Bare\launcher.exe' x
  fi
  check_launch_status
  check_started "$arguments argument(s): no program is started"
done
rm -f "$(unix_of 'C:\windows\data.exe')"

finish
