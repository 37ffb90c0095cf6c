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
  # No exceptions anywhere in the program, and the runtime support that
  # keeps the library's throwing code out (see windows_runtime.cpp).
  # Everything from the toolchain is linked in statically, so the image
  # imports only system DLLs.
  set(lean_flags -fno-exceptions -fno-rtti -ffunction-sections -fdata-sections)
  foreach(target launcher_logic windows_platform launcher)
    target_compile_options(${target} PRIVATE ${lean_flags})
  endforeach()
  target_sources(launcher PRIVATE src/launcher/windows_runtime.cpp)
  target_link_options(launcher PRIVATE -static -s -Wl,--gc-sections)
endif()

include(CTest)
if(BUILD_TESTING)
  include(cmake/windows_tests.cmake OPTIONAL)
endif()
