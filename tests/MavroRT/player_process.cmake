# Runs the player as a process and checks its exit codes and files.
# Variables: PLAYER, WORK, EMULATOR.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
get_filename_component(dir ${PLAYER} DIRECTORY)

function(run_player expect)
  execute_process(COMMAND ${EMULATOR} ${PLAYER} ${ARGN}
                  RESULT_VARIABLE rc TIMEOUT 60)
  if(NOT rc EQUAL ${expect})
    message(FATAL_ERROR "MavroRT ${ARGN}: exit ${rc}, expected ${expect}")
  endif()
endfunction()

# No switch, or another switch: exits at once with 0.
run_player(0)
run_player(0 -X)
