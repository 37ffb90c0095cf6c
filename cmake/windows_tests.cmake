# Checks on the real Windows program: its executable's properties (label
# "pe"), and end-to-end runs under Wine (label "wine") of this tree's build,
# with helper programs of the same width.

set(launcher_test_programs_dir "${CMAKE_BINARY_DIR}/test_programs")

# Recorder copied into place as every program the launcher might start.
add_executable(stand_in WIN32 tests/wine/stand_in.cpp)
# Runs DeleteFolderTree on one path.
add_executable(delete_tree tests/wine/delete_tree.cpp)
target_link_libraries(delete_tree PRIVATE launcher_logic windows_platform)
# Shows what the file API reports for links and read-only entries.
add_executable(fs_probe tests/wine/fs_probe.cpp)
# Prints a program's whole exit code, which Wine cuts to 8 bits.
add_executable(exit_code tests/wine/exit_code.cpp)
# Holds Windows Installer's mutex: another installation in progress.
add_executable(hold_mutex tests/wine/hold_mutex.cpp)
# A DLL that leaves a marker in each process that loads it, planted where
# none should (see tests/wine/marker.cpp).
add_library(marker SHARED tests/wine/marker.cpp)
set_target_properties(marker PROPERTIES PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY "${launcher_test_programs_dir}")
target_link_options(marker PRIVATE -static)
# Benchmarks behind tools/bench.sh.
add_executable(bench tools/bench.cpp)
target_link_libraries(bench PRIVATE launcher_logic windows_platform)

foreach(program stand_in delete_tree fs_probe exit_code hold_mutex bench)
  set_target_properties(${program} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${launcher_test_programs_dir}")
  # Like the launcher: no toolchain DLLs to find at run time.
  target_link_options(${program} PRIVATE -static)
endforeach()

# A launcher pinned to a kit of this tree, test_programs/kit: the stand-in
# as data.exe and the response files of tests/wine/kit. The header is
# touched after writing, which the script skips when its text is unchanged,
# so that a relinked stand-in does not run the command on every build.
set(launcher_test_kit "${launcher_test_programs_dir}/kit")
set(launcher_test_pins "${CMAKE_BINARY_DIR}/test_pins/kit_pins.h")
set(launcher_test_responses
  "${CMAKE_SOURCE_DIR}/tests/wine/kit/setup.iss"
  "${CMAKE_SOURCE_DIR}/tests/wine/kit/uninstall.iss")
add_custom_command(OUTPUT "${launcher_test_pins}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${launcher_test_kit}"
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:stand_in>" "${launcher_test_kit}/data.exe"
  COMMAND "${CMAKE_COMMAND}" -E copy ${launcher_test_responses} "${launcher_test_kit}"
  COMMAND "${CMAKE_COMMAND}" "-DKIT=${launcher_test_kit}" "-DOUTPUT=${launcher_test_pins}"
          -P "${CMAKE_SOURCE_DIR}/cmake/kit_pins.cmake"
  COMMAND "${CMAKE_COMMAND}" -E touch "${launcher_test_pins}"
  DEPENDS stand_in ${launcher_test_responses} "${CMAKE_SOURCE_DIR}/cmake/kit_pins.cmake"
  COMMENT "Pinning the test kit ${launcher_test_kit}"
  VERBATIM)
get_filename_component(launcher_test_pins_dir "${launcher_test_pins}" DIRECTORY)
launcher_program(pinned_launcher "${launcher_test_pins_dir}" PINNED)
target_sources(pinned_launcher PRIVATE "${launcher_test_pins}")
set_target_properties(pinned_launcher PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${launcher_test_programs_dir}")

# The report build of this tree (LAUNCHER_REPORT), unpinned, for the report
# suite.
launcher_program(report_launcher "${CMAKE_CURRENT_BINARY_DIR}/pins" REPORT)
set_target_properties(report_launcher PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${launcher_test_programs_dir}")

# The 32-bit build is the shipped one: it runs in a win64 prefix (64-bit
# Windows) and in a win32 prefix (32-bit Windows), and its own build is
# checked for reproducibility and signing. The 64-bit build runs in a win64
# prefix only.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(launcher_pe_format "PE32+")
  set(launcher_wine_build x64)
  set(launcher_wine_prefixes win64)
  set(launcher_build_checks)
else()
  set(launcher_pe_format "PE32")
  set(launcher_wine_build x86)
  set(launcher_wine_prefixes win64 win32)
  set(launcher_build_checks reproducible signing)
endif()

# The executable's properties, its imported functions among them, for each
# build: this tree's launcher, the pinned test launcher and the report build.
if(LAUNCHER_REPORT)
  set(launcher_pe_kind report)
else()
  set(launcher_pe_kind default)
endif()
if(launcher_variant)
  set(launcher_pe_manifest embedded)
else()
  set(launcher_pe_manifest none)
endif()
foreach(check "pe_properties;launcher;${launcher_pe_kind};${launcher_pe_manifest}"
              "pe_properties_pinned;pinned_launcher;default;embedded"
              "pe_properties_report;report_launcher;report;embedded")
  list(GET check 0 name)
  list(GET check 1 program)
  list(GET check 2 kind)
  list(GET check 3 manifest)
  add_test(NAME ${name}
    COMMAND bash "${CMAKE_SOURCE_DIR}/tests/pe/check_pe.sh"
            "$<TARGET_FILE:${program}>" "${launcher_pe_format}" "${LAUNCHER_ICON}" ${kind} ${manifest})
  set_tests_properties(${name} PROPERTIES LABELS pe TIMEOUT 60)
endforeach()
include(cmake/signed_kit_tests.cmake)

# The emulations every Wine suite runs under: Debian 12's Wine 8 (the host,
# or its private root) and Debian 13's Wine 10 (its private root), which has
# calls of today's Windows that Wine 8 lacks (tools/wine_root.sh).
set(launcher_wine_emulations 8 10)

# launcher_wine_suite(SUITE PREFIX): tests/wine/SUITE.sh in a PREFIX prefix,
# once per emulation, as wine_<suite>_<x86|x64>_<prefix>_wine<8|10>, so that
# a failure names all three (tools/test.sh picks emulations by that suffix).
# A suite whose 32-bit Wine or private root cannot be had reports itself
# skipped (exit code 77).
function(launcher_wine_suite suite prefix)
  foreach(emulation ${launcher_wine_emulations})
    set(name wine_${suite}_${launcher_wine_build}_${prefix}_wine${emulation})
    add_test(NAME ${name} COMMAND bash "${CMAKE_SOURCE_DIR}/tests/wine/${suite}.sh")
    set_tests_properties(${name} PROPERTIES
      LABELS "wine;wine${emulation}"
      SKIP_RETURN_CODE 77
      TIMEOUT 1800
      ENVIRONMENT
        "LAUNCHER_BUILD_DIR=${CMAKE_BINARY_DIR};LAUNCHER_WINE_PREFIX=${prefix};LAUNCHER_WINE_EMULATION=${emulation};LAUNCHER_PRODUCT_CODE=${LAUNCHER_PRODUCT_CODE}")
  endforeach()
endfunction()

# Every Wine suite in each prefix, under each emulation.
foreach(prefix ${launcher_wine_prefixes})
  foreach(suite spine deletion removal report signed)
    launcher_wine_suite(${suite} ${prefix})
  endforeach()
endforeach()

# Two builds in fresh copies of the sources give the same bytes (label
# "reproducible"); a build with the signing options signs verifiably (label
# "signing").
foreach(check ${launcher_build_checks})
  add_test(NAME ${check}_build
    COMMAND bash "${CMAKE_SOURCE_DIR}/tests/pe/${check}.sh" "${CMAKE_SOURCE_DIR}")
  set_tests_properties(${check}_build PROPERTIES LABELS ${check} TIMEOUT 300)
endforeach()
