# A signed-kit launcher of this tree for the signed suite,
# test_programs/signed_launcher.exe: the default build trusting the test
# keys tests/keys/publisher (3072 bits) and tests/keys/backup (4096 bits),
# for this build's product code, from kit version 2.0 on.
set(launcher_signed_pins_dir "${CMAKE_BINARY_DIR}/signed_pins")
launcher_write_kit_pins("" "${launcher_signed_pins_dir}/kit_pins.h")
launcher_write_publisher_keys(
  "${CMAKE_SOURCE_DIR}/tests/keys/publisher.pem.pub.pem;${CMAKE_SOURCE_DIR}/tests/keys/backup.pem.pub.pem"
  "2.0" "${LAUNCHER_PRODUCT_CODE}" "${launcher_signed_pins_dir}/publisher_keys.h")
launcher_program(signed_launcher "${launcher_signed_pins_dir}" SIGNED)
set_target_properties(signed_launcher PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${launcher_test_programs_dir}")
# Its executable keeps the default build's imports (the signature check adds
# none) and carries the manifest.
add_test(NAME pe_properties_signed
  COMMAND bash "${CMAKE_SOURCE_DIR}/tests/pe/check_pe.sh"
          "$<TARGET_FILE:signed_launcher>" "${launcher_pe_format}" "${LAUNCHER_ICON}" default embedded)
set_tests_properties(pe_properties_signed PROPERTIES LABELS pe TIMEOUT 60)

# The signature check's cost, measured by tools/bench.sh.
add_executable(signature_bench tools/signature_bench.cpp)
target_include_directories(signature_bench PRIVATE "${launcher_signed_pins_dir}")
target_link_libraries(signature_bench PRIVATE pinned_kit windows_signature)
target_link_options(signature_bench PRIVATE -static)
set_target_properties(signature_bench PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${launcher_test_programs_dir}")
