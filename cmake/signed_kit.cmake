# The signed-kit build's libraries (LAUNCHER_SIGNED_KIT): the same sources
# as the default and report builds' and the Windows realisation's signature
# check, compiled with the define that adds VerifySignature to
# PlatformServices. The default program never links them, so it stays what
# it is without them; they are built only for a program that does.
foreach(variant "" _report)
  set(logic_sources ${launcher_logic_sources})
  set(platform_sources ${windows_platform_sources} src/platform/windows_signature.cpp)
  set(definitions LAUNCHER_SIGNED_KIT=1)
  if(variant STREQUAL "_report")
    list(APPEND logic_sources ${launcher_report_sources})
    list(APPEND platform_sources src/platform/windows_report.cpp)
    list(APPEND definitions LAUNCHER_REPORT=1)
  endif()
  add_library(launcher_logic${variant}_signed STATIC EXCLUDE_FROM_ALL ${logic_sources})
  target_include_directories(launcher_logic${variant}_signed PUBLIC
    "${CMAKE_CURRENT_SOURCE_DIR}/src"
    "${CMAKE_CURRENT_BINARY_DIR}/generated")
  add_library(windows_platform${variant}_signed STATIC EXCLUDE_FROM_ALL ${platform_sources})
  target_include_directories(windows_platform${variant}_signed PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/src")
  target_link_libraries(windows_platform${variant}_signed PUBLIC advapi32)
  foreach(target launcher_logic${variant}_signed windows_platform${variant}_signed)
    target_compile_definitions(${target} PUBLIC ${definitions})
    target_compile_options(${target} PRIVATE ${reproducible_flags} ${lean_flags})
  endforeach()
endforeach()
