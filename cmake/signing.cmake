# Optional Authenticode signature of launcher.exe, made right after linking
# with osslsigncode. The password stays in its file: only the file's path is
# in the cache and on osslsigncode's command line (-readpass).
set(LAUNCHER_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file with the code-signing key and certificate; empty: no signature")
set(LAUNCHER_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "File holding the PKCS#12 file's password")
set(LAUNCHER_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 timestamp server; empty: the signature has no timestamp")

if(NOT LAUNCHER_SIGN_PKCS12)
  return()
endif()

foreach(option LAUNCHER_SIGN_PKCS12 LAUNCHER_SIGN_PASSWORD_FILE)
  if(NOT EXISTS "${${option}}" OR IS_DIRECTORY "${${option}}")
    message(FATAL_ERROR "${option} names no file: \"${${option}}\"")
  endif()
endforeach()
find_program(LAUNCHER_OSSLSIGNCODE osslsigncode REQUIRED)
# A new key or password in the same files signs again.
set_property(TARGET launcher APPEND PROPERTY LINK_DEPENDS
             "${LAUNCHER_SIGN_PKCS12}" "${LAUNCHER_SIGN_PASSWORD_FILE}")

add_custom_command(TARGET launcher POST_BUILD
  COMMAND "${CMAKE_COMMAND}"
          "-DTOOL=${LAUNCHER_OSSLSIGNCODE}"
          "-DEXE=$<TARGET_FILE:launcher>"
          "-DPKCS12=${LAUNCHER_SIGN_PKCS12}"
          "-DPASSWORD_FILE=${LAUNCHER_SIGN_PASSWORD_FILE}"
          "-DTIMESTAMP_URL=${LAUNCHER_SIGN_TIMESTAMP_URL}"
          "-DSOURCE_DIR=${CMAKE_SOURCE_DIR}"
          -P "${CMAKE_SOURCE_DIR}/cmake/sign_launcher.cmake"
  COMMENT "Signing launcher.exe"
  VERBATIM)
