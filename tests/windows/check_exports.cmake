# cmake -DOBJDUMP=<objdump> -DDLL=<dll> -DEXPECTED=<file> -P check_exports.cmake
# Fails unless the DLL's export name table lists exactly the names in the
# file, one a line: MSVC-decorated operations and stdcall JNI entry points.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# The table's lines look like "\t[   0] <name>".
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${DLL} has no export name table")
endif()
string(SUBSTRING "${dump}" ${start} -1 table)
string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" rows "${table}")
set(exported "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\t\\[ *[0-9]+\\] " "" name "${row}")
  list(APPEND exported "${name}")
endforeach()

file(STRINGS ${EXPECTED} expected)
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
  string(REPLACE ";" "\n  " exported_text "${exported}")
  string(REPLACE ";" "\n  " expected_text "${expected}")
  message(FATAL_ERROR "exports differ\nexported:\n  ${exported_text}\nexpected:\n  ${expected_text}")
endif()
list(LENGTH exported count)
message(STATUS "${count} exports as expected")
