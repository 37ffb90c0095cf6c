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
target_compile_options(launcher_logic PRIVATE ${reproducible_flags})
set(CMAKE_CXX_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")

configure_file(res/launcher.rc.in "${CMAKE_CURRENT_BINARY_DIR}/launcher.rc" @ONLY)

add_library(windows_platform STATIC src/platform/windows_platform.cpp)
target_include_directories(windows_platform PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/src")
target_link_libraries(windows_platform PUBLIC shlwapi)

add_executable(launcher WIN32
  src/launcher/main.cpp
  src/launcher/windows_runtime.cpp
  "${CMAKE_CURRENT_BINARY_DIR}/launcher.rc")
target_link_libraries(launcher PRIVATE launcher_logic windows_platform)
set_target_properties(launcher PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")

# No exceptions anywhere in the program, and the runtime support that keeps
# the library's throwing code out (see windows_runtime.cpp). Everything from
# the toolchain is linked in statically, so the image imports only system
# DLLs.
set(lean_flags -fno-exceptions -fno-rtti -ffunction-sections -fdata-sections)
foreach(target launcher_logic windows_platform launcher)
  target_compile_options(${target} PRIVATE ${lean_flags})
endforeach()
target_link_options(launcher PRIVATE -static -s -Wl,--gc-sections)

include(cmake/signing.cmake)

include(CTest)
if(BUILD_TESTING)
  include(cmake/windows_tests.cmake OPTIONAL)
endif()
