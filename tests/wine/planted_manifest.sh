# Sourced by the suites after lib.sh: a manifest planted beside a program.
# A program without a manifest of its own takes <its name>.manifest from its
# folder, and each <file name="x.dll"/> there sends every later load of
# x.dll to the file of that name beside it, a load from the system folder
# alone included (Wine does this as Windows does; Windows' <name>.local,
# which Wine ignores, works the same way). Planted: every DLL outside the
# known DLLs that some build loads at run time or that ADVAPI32 loads for
# it, each a copy of the marker DLL, which leaves a line in MARKER_DIR for
# each process that loads it.
PLANTED_MANIFEST_DLLS="bcryptprimitives.dll bcrypt.dll cryptsp.dll rsaenh.dll ntmarta.dll cryptbase.dll"

# plant_manifest PROGRAM: the manifest and the DLLs beside PROGRAM (a
# Windows path); MARKER_DIR names a fresh folder for the markers.
plant_manifest() {
  local folder=${1%\\*} architecture=x86 name
  [ "$BUILD_BITS" -eq 64 ] && architecture=amd64
  {
    printf '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
    printf '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">\r\n'
    printf '<assemblyIdentity type="win32" name="Planted" version="1.0.0.0" processorArchitecture="%s"/>\r\n' \
      "$architecture"
    for name in $PLANTED_MANIFEST_DLLS; do printf '<file name="%s"/>\r\n' "$name"; done
    printf '</assembly>\r\n'
  } >"$(unix_of "$1").manifest"
  for name in $PLANTED_MANIFEST_DLLS; do
    cp "$BUILD/test_programs/marker.dll" "$(unix_of "$folder\\$name")"
  done
  rm -rf "$DRIVE_C/markers"
  mkdir -p "$DRIVE_C/markers"
  export MARKER_DIR='C:\markers'
}

# planted_loads: "<DLL> in <program>" for each load of a planted DLL.
planted_loads() { (cd "$DRIVE_C/markers" && grep -a -H '' -- * 2>/dev/null | sed 's/:/ in /'); }

# check_planted_ignored M: after a run with the manifest planted, the
# uninstaller in M and then a data.exe started, and nothing planted loaded.
check_planted_ignored() {
  unset MARKER_DIR
  check_eq "setup.exe, then data.exe" "$1\\setup.exe data.exe" \
    "$(started_modules | sed 's/.*\\data\.exe$/data.exe/' | paste -sd' ')"
  check_eq "nothing planted beside the launcher is loaded" "" "$(planted_loads)"
}
