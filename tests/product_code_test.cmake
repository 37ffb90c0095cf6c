# Run with cmake -P: the configure-time check of the product code option.
cmake_minimum_required(VERSION 3.20)
include("${CMAKE_CURRENT_LIST_DIR}/../cmake/product_code.cmake")
set(cases
  "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}|TRUE"
  "{00000000-0000-0000-0000-000000000000}|TRUE"
  "{7a3c19e4-52d8-4b6f-9e07-c1d2b3a48f65}|FALSE"   # lower case
  "7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65|FALSE"     # no braces
  "{7A3C19E452D8-4B6F-9E07-C1D2B3A48F65}|FALSE"    # hyphen missing
  "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F6}|FALSE"    # 37 characters
  "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48F65}x|FALSE"
  "{7A3C19E4-52D8-4B6F-9E07-C1D2B3A48G65}|FALSE"   # not hexadecimal
  "|FALSE")
set(failed 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 text)
  list(GET parts 1 expected)
  launcher_is_registry_guid("${text}" actual)
  if(NOT actual STREQUAL expected)
    message(SEND_ERROR "\"${text}\": expected ${expected}, got ${actual}")
    set(failed 1)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "product code check failed")
endif()
