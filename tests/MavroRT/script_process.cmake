# Plays the scripted sample twice: its page-entry lists count the visits in
# the application-state ini of the Windows folder, keep the chapter, go to
# Part2 by command and end the run from there.
# Variables: PLAYER, WORK, EMULATOR, MKWORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${PLAYER} DESTINATION ${WORK})
set(player ${WORK}/MavroRT.exe)
file(WRITE ${WORK}/MavroRT.ini "[MavroRT]\r\nSysLog=1\r\n")

foreach(var TEMP WINDIR)
  execute_process(COMMAND ${EMULATOR} cmd /c echo %${var}% OUTPUT_VARIABLE win
                  OUTPUT_STRIP_TRAILING_WHITESPACE TIMEOUT 60)
  execute_process(COMMAND winepath -u ${win} OUTPUT_VARIABLE unix
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(dir_${var} ${unix})
endforeach()
set(log ${dir_TEMP}/~mvrt40.lg0)
set(ini ${dir_WINDIR}/mavroappl.ini)
file(REMOVE ${ini})

execute_process(COMMAND ${EMULATOR} ${MKWORK} ${WORK}/scripts.mrt scripts RESULT_VARIABLE rc
                TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "mkwork scripts: exit ${rc}")
endif()

foreach(run 1 2)
  file(REMOVE ${log})
  execute_process(COMMAND ${EMULATOR} ${player} -r ${WORK}/scripts.mrt RESULT_VARIABLE rc
                  TIMEOUT 60)
  file(READ ${log} text)
  if(NOT rc EQUAL 1)
    file(REMOVE ${ini})
    message(FATAL_ERROR "run ${run}: exit ${rc}, expected 1\n${text}")
  endif()
  string(REGEX MATCHALL "ChangeCanvasTo: Part2" changes "${text}")
  list(LENGTH changes n)
  if(NOT n EQUAL 1)
    file(REMOVE ${ini})
    message(FATAL_ERROR "run ${run}: 'ChangeCanvasTo: Part2' logged ${n} times\n${text}")
  endif()
  file(READ ${ini} state)
  string(REPLACE "\r" "" state "${state}")
  foreach(want "[APPL_01d0000012345678_VARS]\nvisits=3,${run}"
               "[APPL_01d0000012345678_PROGRESS]\nchapter=Home")
    string(FIND "${state}" "${want}" at)
    if(at EQUAL -1)
      file(REMOVE ${ini})
      message(FATAL_ERROR "run ${run}: mavroappl.ini lacks '${want}':\n${state}\n${text}")
    endif()
  endforeach()
endforeach()
file(REMOVE ${ini})
