# launcher_is_registry_guid(TEXT RESULT): sets RESULT to TRUE when TEXT is a
# GUID in registry form: 38 characters, braces, upper-case hexadecimal digits
# in groups of 8-4-4-4-12 separated by hyphens.
function(launcher_is_registry_guid text result)
  set(h "[0-9A-F]")
  set(h4 "${h}${h}${h}${h}")
  if(text MATCHES "^{${h4}${h4}-${h4}-${h4}-${h4}-${h4}${h4}${h4}}$")
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()
