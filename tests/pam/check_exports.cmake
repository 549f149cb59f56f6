# Fails unless the module's dynamic symbol table defines exactly the two
# PAM entry points: nothing of the module or of its C++ runtime leaks out.
#   cmake -DMODULE=<pam_zephyrcoilvault.so> -P check_exports.cmake
execute_process(COMMAND nm -D --defined-only ${MODULE} OUTPUT_VARIABLE table RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${MODULE}")
endif()
string(REPLACE "\n" ";" lines "${table}")
set(names "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  if(NOT name STREQUAL "")
    list(APPEND names ${name})
  endif()
endforeach()
list(SORT names)
if(NOT names STREQUAL "pam_sm_authenticate;pam_sm_setcred")
  message(FATAL_ERROR "exported: ${names}")
endif()
