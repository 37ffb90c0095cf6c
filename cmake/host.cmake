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

include(CTest)
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()
if(LAUNCHER_FUZZ)
  add_subdirectory(fuzz)
endif()
