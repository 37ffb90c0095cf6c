# The Windows program, and under Wine the checks on the real Win32 API.
enable_language(RC)

configure_file(res/launcher.rc.in "${CMAKE_CURRENT_BINARY_DIR}/launcher.rc" @ONLY)

add_library(windows_platform STATIC src/platform/windows_platform.cpp)
target_include_directories(windows_platform PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/src")
target_link_libraries(windows_platform PUBLIC shlwapi)

add_executable(launcher WIN32
  src/launcher/main.cpp
  "${CMAKE_CURRENT_BINARY_DIR}/launcher.rc")
target_link_libraries(launcher PRIVATE launcher_logic windows_platform)
set_target_properties(launcher PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")

if(MSVC)
  # GUI subsystem with a plain main, and no manifest in the image.
  target_link_options(launcher PRIVATE /SUBSYSTEM:WINDOWS /ENTRY:mainCRTStartup /MANIFEST:NO)
else()
  # Everything from the toolchain linked in: the image imports only system DLLs.
  target_compile_options(launcher_logic PRIVATE -ffunction-sections -fdata-sections)
  target_compile_options(windows_platform PRIVATE -ffunction-sections -fdata-sections)
  target_link_options(launcher PRIVATE -static -s -Wl,--gc-sections)
endif()

include(CTest)
if(BUILD_TESTING)
  include(cmake/windows_tests.cmake OPTIONAL)
endif()
