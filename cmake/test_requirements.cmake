# What the tests do when a tool they need is missing from this machine. In
# CI (CI=true in the environment) a missing tool ends the configure step,
# saying what to install: a run that cannot test everything must not pass.
# Elsewhere each test that cannot run is registered all the same, as a
# placeholder that prints why and what to install and returns the skip code,
# so that CTest's summary names it among the tests that did not run.

# The exit status of a test that did not run; CTest counts it as skipped.
set(ZCV_SKIP_RETURN_CODE 77)

# zcv_in_ci(<var>): sets <var> to TRUE when the environment says this is a CI
# run (CI=true, or 1 or yes), FALSE otherwise.
function(zcv_in_ci out)
  string(TOLOWER "$ENV{CI}" ci)
  if(ci MATCHES "^(true|1|yes)$")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# zcv_missing_requirement(NEEDS <what> INSTALL <how> TESTS <name>...
#                         [LABELS <label>...])
# The tests <name>... need <what>, which this machine lacks; <how> says what
# provides it ("the Debian package nginx"). Fatal in CI; elsewhere one status
# line and a placeholder test per name, carrying <label>... so that label
# selections (-L, -LE) still see it where the real test would be. Tests that
# find out for themselves at run time and report a skip (GTEST_SKIP) are
# named with RUNTIME <what they are> instead of TESTS: no placeholder then.
function(zcv_missing_requirement)
  cmake_parse_arguments(ARG "" "NEEDS;INSTALL;RUNTIME" "TESTS;LABELS" ${ARGN})
  if(NOT ARG_NEEDS OR NOT ARG_INSTALL OR NOT (ARG_TESTS OR ARG_RUNTIME))
    message(FATAL_ERROR "zcv_missing_requirement needs NEEDS, INSTALL and TESTS or RUNTIME")
  endif()
  list(JOIN ARG_TESTS ", " names)
  if(ARG_RUNTIME)
    set(names "${ARG_RUNTIME}")
  endif()
  set(reason "${ARG_NEEDS} is missing: install ${ARG_INSTALL} (tools/install-deps.sh does)")
  # One argument to the placeholder, whatever the text holds.
  string(REPLACE ";" "," reason "${reason}")
  zcv_in_ci(ci)
  if(ci)
    message(FATAL_ERROR "CI run: ${names} cannot run: ${reason}")
  endif()
  message(STATUS "SKIPPED: ${names}: ${reason}")
  if(ARG_RUNTIME)
    return()
  endif()
  foreach(name IN LISTS ARG_TESTS)
    add_test(NAME ${name}
             COMMAND sh -c "printf '%s\\n' \"$1\"; exit ${ZCV_SKIP_RETURN_CODE}" sh
                     "SKIPPED: ${reason}")
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE ${ZCV_SKIP_RETURN_CODE})
    if(ARG_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
  endforeach()
endfunction()
