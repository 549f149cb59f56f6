# cmake -DOBJDUMP=<objdump> -DDLL=<dll> -DEXPECTED=<file> -DFORMAT=<PE32|PE32+>
#       -P check_exports.cmake
# Fails unless the DLL is of the given format (PE32 for 32-bit Windows, PE32+
# for x64) and its export name table lists exactly the names in the file,
# one a line: no name missing, and nothing beside them.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
string(REGEX MATCH "Magic[ \t]+[0-9a-f]+[ \t]+\\(([A-Z0-9+]+)\\)" magic "${dump}")
if(NOT CMAKE_MATCH_1 STREQUAL FORMAT)
  message(FATAL_ERROR "${DLL} is ${CMAKE_MATCH_1}, not ${FORMAT}")
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
