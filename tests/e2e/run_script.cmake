# Runs one end-to-end script: brannic-sim on SCRIPT, whose standard output
# must equal the file EXPECTED byte for byte and whose exit status must be
# the one the script's first line names ("# expect exit N"; 0 otherwise).
# On a mismatch the transcript is kept in ACTUAL and a diff is shown. With
# KEEP_MACHINE, the run uses (and keeps) the machine in that folder.
foreach(variable SIM SCRIPT EXPECTED ACTUAL)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_script.cmake needs -D${variable}=...")
  endif()
endforeach()
if(NOT EXISTS ${EXPECTED})
  message(FATAL_ERROR "No expected transcript ${EXPECTED}; write one (see tests/e2e/README.md)")
endif()

set(expected_status 0)
file(STRINGS ${SCRIPT} first_line LIMIT_COUNT 1)
if(first_line MATCHES "^# expect exit ([0-9]+)$")
  set(expected_status ${CMAKE_MATCH_1})
endif()

set(keep_machine)
if(DEFINED KEEP_MACHINE)
  set(keep_machine --keep-machine ${KEEP_MACHINE})
endif()
execute_process(
  COMMAND ${SIM} ${keep_machine} ${SCRIPT}
  INPUT_FILE /dev/null
  OUTPUT_VARIABLE actual
  ERROR_VARIABLE errors
  RESULT_VARIABLE status
  TIMEOUT 100)
file(READ ${EXPECTED} expected)

set(failed FALSE)
if(NOT status STREQUAL expected_status)
  message(SEND_ERROR "brannic-sim exited with ${status}, expected ${expected_status}")
  set(failed TRUE)
endif()
if(NOT actual STREQUAL expected)
  file(WRITE ${ACTUAL} "${actual}")
  find_program(DIFF diff)
  if(DIFF)
    execute_process(COMMAND ${DIFF} -u ${EXPECTED} ${ACTUAL} OUTPUT_VARIABLE difference)
    message("${difference}")
  endif()
  message(SEND_ERROR "The transcript differs from ${EXPECTED}; it is in ${ACTUAL}")
  set(failed TRUE)
endif()
if(failed AND NOT errors STREQUAL "")
  message("Standard error:\n${errors}")
endif()
