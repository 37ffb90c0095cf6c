# The logic on the simulated platform, with its tests.
option(LAUNCHER_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(LAUNCHER_SANITIZE OR LAUNCHER_FUZZ)
  set(sanitize_flags -fsanitize=address,undefined -fno-omit-frame-pointer
                     -fno-sanitize-recover=all)
  if(LAUNCHER_FUZZ)
    # Coverage for the fuzzer in every library it drives.
    list(APPEND sanitize_flags -fsanitize=fuzzer-no-link)
  endif()
  add_compile_options(${sanitize_flags})
  add_link_options(${sanitize_flags})
endif()
include(cmake/libraries.cmake)

find_package(OpenSSL REQUIRED COMPONENTS Crypto)

# The simulated platform: one machine, serving every interface of the seam.
add_library(simulated_platform STATIC
  src/platform/path_rules.cpp
  src/platform/simulated/files.cpp
  src/platform/simulated/jobs.cpp
  src/platform/simulated/named_objects.cpp
  src/platform/simulated/paths.cpp
  src/platform/simulated/processes.cpp
  src/platform/simulated/recording.cpp
  src/platform/simulated/search.cpp
  src/platform/simulated/security.cpp
  src/platform/simulated/session.cpp
  src/platform/simulated/sharing.cpp
  src/platform/simulated/signature.cpp
  src/platform/simulated/system.cpp)
target_link_libraries(simulated_platform PUBLIC OpenSSL::Crypto)
target_include_directories(simulated_platform PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/src")

# Hashing throughput, measured by tools/bench.sh in a release tree of its own
# (sanitizers would be in the figures here).
add_executable(hash_bench tools/hash_bench.cpp)
target_link_libraries(hash_bench PRIVATE pinned_kit)

# The kit checker (src/kit_check/) and its program, check_kit, which
# tools/check_kit.sh builds in a tree of its own and runs.
add_library(kit_check STATIC
  src/kit_check/kit_check.cpp
  src/kit_check/kit_digests.cpp
  src/kit_check/manifest_signature.cpp
  src/kit_check/pe_image.cpp
  src/kit_check/response_file.cpp)
target_link_libraries(kit_check PUBLIC signed_kit OpenSSL::Crypto)
add_executable(check_kit src/kit_check/check_kit_main.cpp)
target_link_libraries(check_kit PRIVATE kit_check)

include(CTest)
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()
if(LAUNCHER_FUZZ)
  add_subdirectory(fuzz)
endif()
