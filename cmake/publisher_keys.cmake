# Writes the header of a signed-kit launcher: the modulus and exponent of
# each publisher key (RSA, 3072 or 4096 bits, PEM public keys), the product
# code and the lowest kit version it accepts. Only public keys are read: a
# file that says it holds a private key is refused before openssl sees it.
# The header is rewritten only when its text changes.
#
#   include(cmake/publisher_keys.cmake)
#   launcher_write_publisher_keys("KEY.pem;BACKUP.pem" MIN_VERSION PRODUCT_CODE OUTPUT)

# Whether `text` is a kit version as the launcher reads it: dotted decimal
# numbers, 1 to 4, each of up to 9 digits without leading zeros.
function(launcher_is_kit_version text result_var)
  set(ok FALSE)
  string(REPLACE "." ";" numbers "${text}")
  list(LENGTH numbers count)
  if(NOT text MATCHES "(^\\.|\\.\\.|\\.$)" AND count GREATER 0 AND count LESS 5)
    set(ok TRUE)
    foreach(number IN LISTS numbers)
      string(LENGTH "${number}" digits)
      if(NOT number MATCHES "^(0|[1-9][0-9]*)$" OR digits GREATER 9)
        set(ok FALSE)
      endif()
    endforeach()
  endif()
  set(${result_var} ${ok} PARENT_SCOPE)
endfunction()

# The modulus (upper-case hexadecimal) and exponent (decimal) of the public
# key in `pem`; a clear configuring error for anything else.
function(launcher_read_public_key pem modulus_var exponent_var)
  if(NOT EXISTS "${pem}" OR IS_DIRECTORY "${pem}")
    message(FATAL_ERROR "LAUNCHER_PUBLISHER_KEY names no file: ${pem}")
  endif()
  file(STRINGS "${pem}" first_line LIMIT_COUNT 1)
  if(first_line MATCHES "PRIVATE")
    message(FATAL_ERROR
      "LAUNCHER_PUBLISHER_KEY: ${pem} holds a private key; the build takes "
      "the public key alone (tools/make_publisher_key.sh writes it), and the "
      "private key must never reach the build machine's sources.")
  endif()
  find_program(LAUNCHER_OPENSSL openssl)
  if(NOT LAUNCHER_OPENSSL)
    message(FATAL_ERROR "LAUNCHER_PUBLISHER_KEY needs openssl to read ${pem}")
  endif()
  execute_process(COMMAND "${LAUNCHER_OPENSSL}" rsa -pubin -in "${pem}" -noout -modulus
    OUTPUT_VARIABLE modulus_text RESULT_VARIABLE modulus_result ERROR_QUIET)
  execute_process(COMMAND "${LAUNCHER_OPENSSL}" rsa -pubin -in "${pem}" -noout -text
    OUTPUT_VARIABLE key_text RESULT_VARIABLE text_result ERROR_QUIET)
  if(NOT first_line STREQUAL "-----BEGIN PUBLIC KEY-----" OR
     NOT modulus_result EQUAL 0 OR NOT text_result EQUAL 0 OR
     NOT modulus_text MATCHES "^Modulus=([0-9A-F]+)" )
    message(FATAL_ERROR
      "LAUNCHER_PUBLISHER_KEY: ${pem} is not an RSA public key in PEM form "
      "(-----BEGIN PUBLIC KEY-----).")
  endif()
  set(modulus "${CMAKE_MATCH_1}")
  string(LENGTH "${modulus}" digits)
  math(EXPR bits "${digits} * 4")
  if(NOT (bits EQUAL 3072 OR bits EQUAL 4096) OR modulus MATCHES "^[0-7]")
    message(FATAL_ERROR
      "LAUNCHER_PUBLISHER_KEY: ${pem} is not a 3072- or 4096-bit RSA key; "
      "make one with tools/make_publisher_key.sh.")
  endif()
  if(NOT key_text MATCHES "Exponent: ([0-9]+) " OR
     CMAKE_MATCH_1 GREATER 4294967295 OR CMAKE_MATCH_1 LESS 3)
    message(FATAL_ERROR
      "LAUNCHER_PUBLISHER_KEY: ${pem} has a public exponent that Windows' "
      "providers cannot take (it must fit 32 bits; 65537 is usual).")
  endif()
  set(${modulus_var} "${modulus}" PARENT_SCOPE)
  set(${exponent_var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

function(launcher_write_publisher_keys keys min_version product_code output)
  launcher_is_kit_version("${min_version}" version_ok)
  if(NOT version_ok)
    message(FATAL_ERROR
      "LAUNCHER_MIN_KIT_VERSION is \"${min_version}\"; it must be dotted "
      "numbers, 1 to 4 of them, each of up to 9 digits without leading "
      "zeros, as 2.4 or 0.")
  endif()
  set(text "// The publisher keys this launcher trusts, written by the build from\n")
  string(APPEND text "// LAUNCHER_PUBLISHER_KEY. Do not edit.\n")
  string(APPEND text "#include \"signed_kit/signed_kit.h\"\n\n")
  set(entries "")
  set(index 0)
  foreach(pem ${keys})
    launcher_read_public_key("${pem}" modulus exponent)
    string(LENGTH "${modulus}" digits)
    math(EXPR bytes "${digits} / 2")
    string(TOLOWER "${modulus}" modulus)
    string(REGEX REPLACE "(..)" "0x\\1," list "${modulus}")
    string(REGEX REPLACE "(([^,]*,){12})" "\\1\n    " list "${list}")
    get_filename_component(name "${pem}" NAME)
    string(APPEND text "// ${name}\n")
    string(APPEND text "inline const std::uint8_t kPublisherModulus${index}[] = {\n    ${list}};\n")
    string(APPEND entries "    {kPublisherModulus${index}, ${bytes}u, ${exponent}u},\n")
    math(EXPR index "${index} + 1")
  endforeach()
  string(APPEND text "\ninline const PublisherKey kPublisherKeys[] = {\n${entries}};\n\n")
  string(APPEND text "inline const SignedKitPolicy kSignedKit = {\n")
  string(APPEND text "    kPublisherKeys, ${index}u, \"${product_code}\", \"${min_version}\"};\n")
  file(CONFIGURE OUTPUT "${output}" CONTENT "${text}" @ONLY)
endfunction()
