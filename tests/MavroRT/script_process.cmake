# Plays the scripted sample twice: its page-entry lists count the visits in
# the application-state ini of the Windows folder, keep the chapter, go to
# Part2 by command, record sound there into C:\mavrorec\rec.wav and end the
# run. The recorder's box at the recording's end is answered unattended. Runs in a Wine prefix of its
# own: an ini left by a crash or a timeout reaches no other test, and the
# next run removes it first.
# Variables: PLAYER, WORK, RUNNER, PREFIX, MKWORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${PLAYER} DESTINATION ${WORK})
set(player ${WORK}/MavroRT.exe)
file(WRITE ${WORK}/MavroRT.ini "[MavroRT]\r\nSysLog=1\r\n")

set(WINE ${RUNNER} ${PREFIX})
include(${CMAKE_CURRENT_LIST_DIR}/process_common.cmake)
wine_folder(windir WINDIR)
set(ini ${windir}/mavroappl.ini)
file(REMOVE ${ini})

execute_process(COMMAND ${WINE} ${MKWORK} ${WORK}/scripts.mrt scripts RESULT_VARIABLE rc
                TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "mkwork scripts: exit ${rc}")
endif()

wine_folder(drive SYSTEMDRIVE)
set(recording ${drive}/mavrorec/rec.wav)
foreach(run 1 2)
  file(REMOVE ${log} ${recording})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env MAVRO_AUTOANSWER=ok
                          ${WINE} ${player} -r ${WORK}/scripts.mrt RESULT_VARIABLE rc
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
  # The page's script drew a curve and a rectangle on its board: the hit
  # test names the rectangle on top of the curve, and -1 beside them.
  foreach(want "[APPL_01d0000012345678_VARS]\nvisits=3,${run}\nhit=3,31\nmiss=3,-1"
               "[APPL_01d0000012345678_PROGRESS]\nchapter=Home")
    string(FIND "${state}" "${want}" at)
    if(at EQUAL -1)
      file(REMOVE ${ini})
      message(FATAL_ERROR "run ${run}: mavroappl.ini lacks '${want}':\n${state}\n${text}")
    endif()
  endforeach()
  # The recording: RIFF "WAVE" with an 8000 Hz, 8-bit mono "fmt " chunk.
  if(NOT EXISTS ${recording})
    file(REMOVE ${ini})
    message(FATAL_ERROR "run ${run}: no recording at ${recording}\n${text}")
  endif()
  file(READ ${recording} head LIMIT 36 HEX)
  if(NOT head MATCHES "^52494646........57415645666d74201000000001000100401f0000")
    file(REMOVE ${ini})
    message(FATAL_ERROR "run ${run}: ${recording} is no 8000 Hz 8-bit mono WAV file: ${head}")
  endif()
endforeach()
file(REMOVE ${ini} ${recording})
