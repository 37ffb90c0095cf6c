# Checks on the real Windows program: its executable's properties (label
# "pe"), and end-to-end runs under 64-bit Wine (label "wine", registered in
# the 64-bit build tree only). The helper programs below are built in both
# Windows trees, so that where 32-bit Wine works the 32-bit build can be run.

set(launcher_test_programs_dir "${CMAKE_BINARY_DIR}/test_programs")

# Recorder copied into place as every program the launcher might start.
add_executable(stand_in WIN32 tests/wine/stand_in.cpp)
# Runs DeleteFolderTree on one path.
add_executable(delete_tree tests/wine/delete_tree.cpp)
target_link_libraries(delete_tree PRIVATE launcher_logic windows_platform)
# Shows what the file API reports for links and read-only entries.
add_executable(fs_probe tests/wine/fs_probe.cpp)
# Benchmarks behind tools/bench.sh.
add_executable(bench tools/bench.cpp)
target_link_libraries(bench PRIVATE launcher_logic windows_platform)

foreach(program stand_in delete_tree fs_probe bench)
  set_target_properties(${program} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${launcher_test_programs_dir}")
  if(NOT MSVC)
    # Like the launcher: no toolchain DLLs to find at run time.
    target_link_options(${program} PRIVATE -static)
  endif()
endforeach()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(launcher_pe_format "PE32+")
else()
  set(launcher_pe_format "PE32")
endif()

add_test(NAME pe_properties
  COMMAND bash "${CMAKE_SOURCE_DIR}/tests/pe/check_pe.sh"
          "$<TARGET_FILE:launcher>" "${launcher_pe_format}" "${LAUNCHER_ICON}")
set_tests_properties(pe_properties PROPERTIES LABELS pe TIMEOUT 60)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LAUNCHER_WINE_X86_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/windows-x86" CACHE PATH
      "Built 32-bit tree the Wine tests run instead of this one where 32-bit Wine works")
  foreach(suite spine deletion removal)
    add_test(NAME wine_${suite}
      COMMAND bash "${CMAKE_SOURCE_DIR}/tests/wine/${suite}.sh")
    set_tests_properties(wine_${suite} PROPERTIES
      LABELS wine
      TIMEOUT 300
      ENVIRONMENT
        "LAUNCHER_BUILD_DIR=${CMAKE_BINARY_DIR};LAUNCHER_X86_BUILD_DIR=${LAUNCHER_WINE_X86_BUILD_DIR};LAUNCHER_PRODUCT_CODE=${LAUNCHER_PRODUCT_CODE}")
  endforeach()
endif()
