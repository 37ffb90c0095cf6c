# Writes the header that pins a kit: the SHA-256 and size of each of data.exe,
# setup.iss and uninstall.iss present in the folder KIT, as constants of the
# launcher; a file that is absent stays unpinned, and without KIT nothing is
# pinned. The header is rewritten only when its text changes.
#
#   include(cmake/kit_pins.cmake)          then launcher_write_kit_pins(KIT OUTPUT)
#   cmake -DKIT=... -DOUTPUT=... -P cmake/kit_pins.cmake

# The files a kit may hold, in the order of the launcher's KitPins.
set(LAUNCHER_KIT_FILES data.exe setup.iss uninstall.iss)

function(launcher_write_kit_pins kit output)
  set(text "// The kit this launcher was built for, written by the build: one SHA-256\n")
  string(APPEND text "// for each file present in the kit folder. Do not edit.\n")
  string(APPEND text "#include \"kit/kit_trust.h\"\n\n")
  string(APPEND text "inline const KitPins kKitPins = {\n")
  foreach(name ${LAUNCHER_KIT_FILES})
    if(NOT kit STREQUAL "" AND EXISTS "${kit}/${name}" AND NOT IS_DIRECTORY "${kit}/${name}")
      file(SHA256 "${kit}/${name}" digest)
      file(SIZE "${kit}/${name}" size)
      string(REGEX REPLACE "(..)" "0x\\1," bytes "${digest}")
      string(REGEX REPLACE ",$" "" bytes "${bytes}")
      string(APPEND text "    {true, {{${bytes}}}, ${size}u},  // ${name}\n")
    else()
      string(APPEND text "    {false, {}},  // ${name}: not pinned\n")
    endif()
  endforeach()
  string(APPEND text "};\n")
  file(CONFIGURE OUTPUT "${output}" CONTENT "${text}" @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED OUTPUT)
  launcher_write_kit_pins("${KIT}" "${OUTPUT}")
endif()
