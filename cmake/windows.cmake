# The Windows program, and under Wine the checks on the real Win32 API.
# Built with Debian's mingw-w64 cross toolchain (cmake/mingw-*.cmake).
enable_language(RC)

# ---- Reproducible output ----
# Two builds of the same sources give the same bytes, wherever the tree lies,
# whenever and with whatever parallelism it is built: no link time in the PE
# header (the time stamp is 0, and the header checksum then depends on the
# content alone), no build folder in any object, archives with zeroed member
# times, owners and modes. Resources carry no time of their own.
add_link_options(-Wl,--no-insert-timestamp)
set(reproducible_flags
  "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build"
  "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
add_compile_options(${reproducible_flags})
set(CMAKE_CXX_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")

configure_file(res/launcher.rc.in "${CMAKE_CURRENT_BINARY_DIR}/launcher.rc" @ONLY)
# The pinned, signed and report builds load DLLs outside the known DLLs at
# run time (bcrypt, bcryptprimitives, cryptsp and rsaenh, ntmarta), so they
# carry a manifest; the default build loads none and stays without one.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LAUNCHER_MANIFEST_ARCHITECTURE amd64)
else()
  set(LAUNCHER_MANIFEST_ARCHITECTURE x86)
endif()
set(LAUNCHER_MANIFEST "${CMAKE_CURRENT_BINARY_DIR}/launcher.manifest")
configure_file(res/launcher.manifest.in "${LAUNCHER_MANIFEST}" @ONLY)
configure_file(res/launcher_manifest.rc.in "${CMAKE_CURRENT_BINARY_DIR}/launcher_manifest.rc" @ONLY)
set_source_files_properties("${CMAKE_CURRENT_BINARY_DIR}/launcher_manifest.rc"
  PROPERTIES OBJECT_DEPENDS "${LAUNCHER_MANIFEST}")

# No exceptions anywhere in the program, and the runtime support that keeps
# the library's throwing code out (see platform/windows/runtime.cpp).
# Everything from the toolchain is linked in statically, so the image
# imports only system DLLs.
set(lean_flags -fno-exceptions -fno-rtti -ffunction-sections -fdata-sections)
# Nothing unwinds through the program's frames on 32-bit Windows, whose
# exception handling is registered on the stack: DWARF unwind tables would
# take a third of the image. 64-bit Windows unwinds through its own tables,
# which stay.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(APPEND lean_flags -fno-asynchronous-unwind-tables)
endif()
set(launcher_library_flags ${lean_flags})
# Hashing a pinned kit is the one place where speed matters more than
# size: -O2 hashes about half again as fast for a few hundred bytes more.
set_source_files_properties(src/kit/sha256.cpp PROPERTIES COMPILE_OPTIONS -O2)
include(cmake/libraries.cmake)

# The Windows realisation, split as the seam is: what every build uses, the
# report build's services and the signature check. KERNEL32 and msvcrt
# only: every other DLL, ADVAPI32 included, is loaded at run time from the
# system folder (platform/windows/advapi32.h), so none is linked.
set(windows "${PROJECT_SOURCE_DIR}/src/platform/windows")
add_library(windows_platform STATIC
  "${PROJECT_SOURCE_DIR}/src/platform/path_rules.cpp"
  "${windows}/advapi32.cpp"
  "${windows}/handles.cpp"
  "${windows}/platform.cpp"
  "${windows}/secured.cpp"
  "${windows}/shared.cpp"
  "${windows}/system_dll.cpp")
target_include_directories(windows_platform PUBLIC "${PROJECT_SOURCE_DIR}/src")
add_library(windows_report STATIC "${windows}/report.cpp")
add_library(windows_signature STATIC "${windows}/signature.cpp")
foreach(library windows_report windows_signature)
  target_link_libraries(${library} PUBLIC windows_platform)
endforeach()
foreach(library windows_platform windows_report windows_signature)
  target_compile_options(${library} PRIVATE ${lean_flags})
endforeach()

# launcher_program(TARGET PINS_DIR [PINNED] [REPORT] [SIGNED]): the launcher
# program, pinned to the kit whose kit_pins.h lies in PINS_DIR (PINNED when
# that kit is not empty); with REPORT, the report build; with SIGNED, the
# signed-kit build, trusting the keys of PINS_DIR's publisher_keys.h. All
# but the default build carry the manifest.
function(launcher_program target pins_dir)
  set(resources launcher.rc)
  if(ARGN)
    set(resources launcher_manifest.rc)
  endif()
  add_executable(${target} WIN32
    src/launcher/main.cpp
    src/platform/windows/runtime.cpp
    "${CMAKE_CURRENT_BINARY_DIR}/${resources}")
  target_include_directories(${target} PRIVATE "${pins_dir}")
  # The run sequence first, then the kit's admission, each before what it
  # needs of the rooms below.
  if("REPORT" IN_LIST ARGN)
    set(libraries report_run report launcher_logic)
    set(platform windows_report)
  else()
    set(libraries launcher_run launcher_logic)
    set(platform)
  endif()
  if("SIGNED" IN_LIST ARGN)
    list(APPEND libraries signed_kit pinned_kit)
    list(APPEND platform windows_signature)
    target_compile_definitions(${target} PRIVATE LAUNCHER_SIGNED_KIT=1)
  else()
    list(APPEND libraries pinned_kit_admission pinned_kit)
  endif()
  target_link_libraries(${target} PRIVATE ${libraries} ${platform} windows_platform)
  target_compile_options(${target} PRIVATE ${lean_flags})
  target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections)
endfunction()

set(launcher_variant "")
if(NOT LAUNCHER_KIT STREQUAL "")
  list(APPEND launcher_variant PINNED)
endif()
if(LAUNCHER_REPORT)
  list(APPEND launcher_variant REPORT)
endif()
if(NOT LAUNCHER_PUBLISHER_KEY STREQUAL "")
  list(APPEND launcher_variant SIGNED)
endif()
launcher_program(launcher "${CMAKE_CURRENT_BINARY_DIR}/pins" ${launcher_variant})
set_target_properties(launcher PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")

include(cmake/signing.cmake)

# The ready-to-ship kit, build/<preset>/kit: the launcher as setup.exe
# (signed when signing is configured), copies of the pinned kit's files and
# SHA256SUMS over them all.
if(NOT LAUNCHER_KIT STREQUAL "")
  add_custom_target(kit
    COMMAND "${CMAKE_COMMAND}"
            "-DLAUNCHER=$<TARGET_FILE:launcher>"
            "-DKIT=${LAUNCHER_KIT}"
            "-DOUTPUT=${CMAKE_BINARY_DIR}/kit"
            -P "${CMAKE_SOURCE_DIR}/cmake/assemble_kit.cmake"
    DEPENDS launcher
    COMMENT "Assembling the kit in ${CMAKE_BINARY_DIR}/kit"
    VERBATIM)
endif()

include(CTest)
if(BUILD_TESTING)
  include(cmake/windows_tests.cmake OPTIONAL)
endif()
