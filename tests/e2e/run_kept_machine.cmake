# Runs the scripts NAME.1.sim, NAME.2.sim, ... of the folder SCRIPTS one
# after the other on one kept machine, each as run_script.cmake runs a
# script against its NAME.<n>.expected, so that what a run leaves on the
# machine shows in the next one. The machine is a fresh folder under /tmp
# (its socket paths must fit a socket address), removed afterwards.
# ACTUALS is where differing transcripts are kept.
foreach(variable SIM SCRIPTS NAME ACTUALS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_kept_machine.cmake needs -D${variable}=...")
  endif()
endforeach()
if(NOT EXISTS ${SCRIPTS}/${NAME}.1.sim)
  message(FATAL_ERROR "No script ${SCRIPTS}/${NAME}.1.sim")
endif()

string(RANDOM LENGTH 10 suffix)
set(machine /tmp/brannic-kept-${suffix})
file(REMOVE_RECURSE ${machine})
set(run 1)
set(failed FALSE)
while(EXISTS ${SCRIPTS}/${NAME}.${run}.sim)
  message("run ${run}: ${NAME}.${run}.sim")
  execute_process(
    COMMAND ${CMAKE_COMMAND}
      -DSIM=${SIM}
      -DSCRIPT=${SCRIPTS}/${NAME}.${run}.sim
      -DEXPECTED=${SCRIPTS}/${NAME}.${run}.expected
      -DACTUAL=${ACTUALS}/${NAME}.${run}.actual
      -DKEEP_MACHINE=${machine}
      -P ${CMAKE_CURRENT_LIST_DIR}/run_script.cmake
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    set(failed TRUE)
    break()
  endif()
  math(EXPR run "${run} + 1")
endwhile()
file(REMOVE_RECURSE ${machine})
if(failed)
  message(FATAL_ERROR "Run ${run} of ${NAME} failed")
endif()
