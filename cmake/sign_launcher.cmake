# Signs EXE in place with osslsigncode (cmake -P, after linking):
#
#   -DTOOL= -DEXE= -DPKCS12= -DPASSWORD_FILE= [-DTIMESTAMP_URL=] -DSOURCE_DIR= -P sign_launcher.cmake
#
# The signature is SHA-256 over the image. Its signing time is fixed, so that
# the same image signed with the same key and tool gives the same bytes:
# SOURCE_DATE_EPOCH when set, else the time of SOURCE_DIR's last commit, else
# (no git work tree) the time of signing. A timestamp, which no one can
# reproduce, is asked for only when TIMESTAMP_URL is given.
#
# On failure EXE is deleted: left unsigned, it would be newer than its
# inputs, and the next build would take it as done.

set(arguments sign -pkcs12 "${PKCS12}" -readpass "${PASSWORD_FILE}" -h sha256)

set(signing_time "$ENV{SOURCE_DATE_EPOCH}")
if(signing_time STREQUAL "")
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE signing_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_status ERROR_QUIET)
  if(NOT git_status EQUAL 0)
    set(signing_time "")
  endif()
endif()
if(NOT signing_time STREQUAL "")
  list(APPEND arguments -time "${signing_time}")
endif()
if(NOT TIMESTAMP_URL STREQUAL "")
  list(APPEND arguments -ts "${TIMESTAMP_URL}")
endif()

set(signed "${EXE}.signed")
file(REMOVE "${signed}")
execute_process(COMMAND "${TOOL}" ${arguments} -in "${EXE}" -out "${signed}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${EXE}" "${signed}")
  message(FATAL_ERROR "signing ${EXE} failed; the unsigned file is deleted")
endif()
file(RENAME "${signed}" "${EXE}")
