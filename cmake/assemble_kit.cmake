# Assembles a ready-to-ship kit in OUTPUT (made anew): LAUNCHER copied as
# setup.exe, the files of the folder KIT that the launcher pins, and
# SHA256SUMS listing every file with its SHA-256 in sha256sum's format, in
# name order. Run with cmake -P.
include("${CMAKE_CURRENT_LIST_DIR}/kit_pins.cmake")

file(REMOVE_RECURSE "${OUTPUT}")
file(MAKE_DIRECTORY "${OUTPUT}")
file(COPY_FILE "${LAUNCHER}" "${OUTPUT}/setup.exe")
set(names setup.exe)
foreach(name ${LAUNCHER_KIT_FILES})
  if(EXISTS "${KIT}/${name}" AND NOT IS_DIRECTORY "${KIT}/${name}")
    file(COPY_FILE "${KIT}/${name}" "${OUTPUT}/${name}")
    list(APPEND names ${name})
  endif()
endforeach()
list(SORT names)
set(sums "")
foreach(name ${names})
  file(SHA256 "${OUTPUT}/${name}" digest)
  string(APPEND sums "${digest}  ${name}\n")
endforeach()
file(WRITE "${OUTPUT}/SHA256SUMS" "${sums}")
