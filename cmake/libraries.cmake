# The libraries, one for each room of src/, each source compiled once for
# the toolchain in use. Rooms depend downward only: report on the kit
# (pinned_kit), the launcher and the platform; signed_kit on the kit; the kit
# on the launcher's leaves and the platform; the launcher on the platform
# alone. What differs between builds
# is which of them a program links (launcher_program in windows.cmake):
#   - the run sequence: launcher_run (LauncherMain) or report_run (the
#     report build's), each defining RunBuild (launcher/run_build.h);
#   - the kit's admission: pinned_kit_admission or signed_kit,
#     each defining AdmitKit (launcher/kit_admission.h).
# `launcher_library_flags` are the toolchain's flags for every library.
set(src "${PROJECT_SOURCE_DIR}/src")

# The seam's search class over PlatformServices.
add_library(platform_search STATIC "${src}/platform/file_find.cpp")
target_include_directories(platform_search PUBLIC "${src}")

# The launcher's own logic: entry, run sequence, locations and command
# lines, the argument count, the removal, the tree deletion, the suspended
# start, the self-copy check and the hold a run lets go of.
add_library(launcher_logic STATIC
  "${src}/launcher/argument_count.cpp"
  "${src}/launcher/folder_tree.cpp"
  "${src}/launcher/launcher.cpp"
  "${src}/launcher/locations.cpp"
  "${src}/launcher/previous_installation.cpp"
  "${src}/launcher/self_copy.cpp"
  "${src}/launcher/suspended_start.cpp")
target_include_directories(launcher_logic PUBLIC
  "${src}" "${CMAKE_BINARY_DIR}/generated")
target_link_libraries(launcher_logic PUBLIC platform_search)
add_library(launcher_run STATIC "${src}/launcher/run_build.cpp")
target_link_libraries(launcher_run PUBLIC launcher_logic)

# The pinned kit: digests, checks, the cache.
add_library(pinned_kit STATIC
  "${src}/kit/kit_cache.cpp"
  "${src}/kit/kit_checks.cpp"
  "${src}/kit/sha256.cpp"
  "${src}/kit/sha256_hex.cpp")
target_link_libraries(pinned_kit PUBLIC launcher_logic)
# The kit's admission in builds without publisher keys.
add_library(pinned_kit_admission STATIC
  "${src}/kit/pinned_admission.cpp"
  "${src}/kit/pinned_refusal.cpp")
target_link_libraries(pinned_kit_admission PUBLIC pinned_kit)

# The signed kit: the manifest, its parser and the signed admission.
add_library(signed_kit STATIC
  "${src}/signed_kit/kit_manifest.cpp"
  "${src}/signed_kit/signed_kit.cpp")
target_link_libraries(signed_kit PUBLIC pinned_kit)

# The report build: job wait, results, log, its run sequence.
configure_file("${src}/report/report_options.h.in"
               "${CMAKE_BINARY_DIR}/generated/report/report_options.h" @ONLY)
add_library(report STATIC
  "${src}/report/install_results.cpp"
  "${src}/report/job_wait.cpp"
  "${src}/report/report_launcher.cpp"
  "${src}/report/report_steps.cpp"
  "${src}/report/run_log.cpp")
target_link_libraries(report PUBLIC pinned_kit launcher_logic)
add_library(report_run STATIC "${src}/report/run_build.cpp")
target_link_libraries(report_run PUBLIC report)

foreach(library platform_search launcher_logic launcher_run pinned_kit
                pinned_kit_admission
                signed_kit report report_run)
  target_compile_options(${library} PRIVATE ${launcher_library_flags})
endforeach()
